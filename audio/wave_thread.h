// TALWaveThread: the audio output's device thread. The platform's delivery thread only appends each
// device message here; this thread hands them to the output one at a time, in order, at the highest
// priority. Named "<owner>.TALWaveThread", shown by the system as "<owner>.device".
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "framework/lp_thread.h"
#include "platform/audio/wave_out.h"

namespace sib {

using TALWaveProcessMessage = std::function<void(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr)>;

// Messages still pending when the thread ends are dropped.
class TALWaveThread : public TLPThread {
 public:
  TALWaveThread(TComponent* AOwner, TALWaveProcessMessage AOnProcess);
  ~TALWaveThread() override;

  // Any thread; nothing once the thread is terminating.
  void Append(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr);
  // Drops the messages not yet handled.
  void DiscardPending();
  // Ends the thread after the message in progress and waits for it. Not from the thread itself.
  void Stop();
  // Waits until every message appended so far has been handled. Not from the thread itself.
  void WaitUntilIdle();

 protected:
  void Execute() override;

 private:
  struct TALWaveItemNode {
    WaveOutHandle hwo;
    std::uint32_t uMsg;
    WaveHeader* AWaveHdr;
  };

  TALWaveProcessMessage FOnProcess;
  std::mutex FSection;
  // Signalled when a message is appended or the thread is asked to stop.
  std::condition_variable FWakeUp;
  // Signalled when the last pending message has been handled or dropped.
  std::condition_variable FIdle;
  std::deque<TALWaveItemNode> FItems;
  bool FBusy = false;
  bool FStopping = false;
};

}  // namespace sib
