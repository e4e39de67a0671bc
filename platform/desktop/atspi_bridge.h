// AtspiBridge: the program on the desktop's accessibility bus (AT-SPI2), through which screen
// readers, magnifiers and test tools read a window's controls and work them.
//
// Finding the bus: AT_SPI_BUS_ADDRESS, or else GetAddress of org.a11y.Bus on the session bus (which
// starts the desktop's bus launcher when it is not running). The bridge connects only while the
// session's org.a11y.Status says IsEnabled or ScreenReaderEnabled, and connects when either turns true
// later; it leaves when both turn false. Connected, it registers its root (role application) with the
// registry (Embed on the registry's socket) and serves, under /org/a11y/atspi/accessible/, the
// interfaces Accessible, Application (the root), Component, Action, Value, Selection and Text as each
// object has them, and Cache at /org/a11y/atspi/cache.
//
// The bridge speaks plain values: the program publishes what its window says (Publish, an AtspiTree)
// and carries out the requests it is handed (RequestHandler). From the difference between two
// publications it sends what screen readers listen to: focus and other state changes, name, value
// and selection changes, children added or removed, the window's activation.
//
// Threads: the buses belong to a thread of the bridge's own ("a11y"), joined when the bridge dies;
// it sleeps in poll until a message or a publication comes, and with accessibility off it holds no
// connection to the accessibility bus at all. Reads are answered from the last publication on that
// thread. A request is handed to the handler, which passes it to the main thread and returns; the
// caller is answered once the request has taken effect (the handler's AtspiDone released), at most
// Options::RequestLimit later.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/accessible.h"
#include "platform/ui/geometry.h"

namespace sib {

class RunThread;

// One object of the tree. Ids are the program's own, stable for as long as the thing they stand for
// lives; 0 is the application (the root), which the bridge makes itself.
struct AtspiNode {
  std::uint32_t Id = 0;
  std::uint32_t Parent = 0;
  std::vector<std::uint32_t> Children;
  TAccessibleRole Role = TAccessibleRole::None;
  std::string Name;
  std::string Description;
  TAccessibleStates States;
  std::optional<TAccessibleRange> Range;
  std::vector<TAccessibleAction> Actions;
  std::optional<std::string> Text;
  bool SelectsChildren = false;  // its children are items of which one is chosen (Selection)
  std::uint32_t LabelledBy = 0;  // 0: none
  TRect Extents;                 // on the screen, in its pixels

  bool operator==(const AtspiNode&) const = default;
};

// The whole window: its nodes, the top-level one (the frame) first.
struct AtspiTree {
  std::vector<AtspiNode> Nodes;

  const AtspiNode* Find(std::uint32_t Id) const;
};

enum class AtspiRequestKind : std::uint8_t {
  Action,      // Argument: the action's number
  SetValue,    // Value: the new value (a number within the range: checked before)
  SelectItem,  // Argument: the child's number (checked before)
  GrabFocus,
};

struct AtspiRequest {
  std::uint32_t Node = 0;
  AtspiRequestKind Kind = AtspiRequestKind::Action;
  int Argument = 0;
  double Value = 0;
};

namespace atspi_detail {
struct Core;
}

// The answer to one request. The handler passes it on with the work and releases it (the last copy)
// once the request has taken effect and what it changed has been published; the caller is answered
// then: with the protocol's "true", or "false" when Fail was called. Any thread.
class AtspiReply {
 public:
  AtspiReply(std::shared_ptr<atspi_detail::Core> ACore, std::uint64_t ASerial);
  ~AtspiReply();
  AtspiReply(const AtspiReply&) = delete;
  AtspiReply& operator=(const AtspiReply&) = delete;

  // The request could not be carried out (the control refused it).
  void Fail();

 private:
  std::shared_ptr<atspi_detail::Core> FCore;
  std::uint64_t FSerial;
};
using AtspiDone = std::shared_ptr<AtspiReply>;

class AtspiBridge {
 public:
  enum class Status : std::uint8_t {
    Waiting,    // looking for the bus, or accessibility is off
    Connected,  // registered on the accessibility bus
    Off,        // no session bus nor accessibility bus: nothing more happens
  };

  struct Options {
    std::string ApplicationName;  // the root's name, as people read it
    // The session bus's address; none: DBUS_SESSION_BUS_ADDRESS, read when the bridge is made.
    std::optional<std::string> SessionAddress;
    // The accessibility bus's address; none: AT_SPI_BUS_ADDRESS, and without it the session bus asked.
    std::optional<std::string> AccessibilityAddress;
    // How long a caller waits at most for its request to take effect.
    std::chrono::milliseconds RequestLimit{2000};
    // Told on the bridge's thread when it starts or stops serving (true: a publication is wanted).
    std::function<void(bool)> OnListening;
  };

  // Called on the bridge's thread for each request; must not block: hand the work over, with `Done`.
  using RequestHandler = std::function<void(const AtspiRequest& Request, AtspiDone Done)>;

  AtspiBridge(Options AOptions, RequestHandler AOnRequest);
  // Leaves the buses and joins the thread. A caller waiting for its request gets an error.
  ~AtspiBridge();
  AtspiBridge(const AtspiBridge&) = delete;
  AtspiBridge& operator=(const AtspiBridge&) = delete;

  // Any thread. What the window says now; the differences from the last publication go out as events.
  void Publish(AtspiTree ATree);
  // Any thread. No more requests are taken: each is answered with an error (the window is closing).
  void Close();

  Status CurrentStatus() const;
  Status WaitWhile(Status AStatus, std::chrono::milliseconds Limit) const;
  // The bridge's unique name on the accessibility bus while connected; empty otherwise.
  std::string UniqueName() const;

 private:
  std::shared_ptr<atspi_detail::Core> FCore;
  std::unique_ptr<RunThread> FThread;
};

}  // namespace sib
