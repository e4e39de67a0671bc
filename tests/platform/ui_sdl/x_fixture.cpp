#include "x_fixture.h"

namespace sib::test {
namespace {

XServer* server = nullptr;

}  // namespace

void XEnvironment::SetUp() {}

void XEnvironment::TearDown() {
  delete server;
  server = nullptr;
}

XServer& XEnvironment::Server() {
  if (!server) {
    server = new XServer();
    ::setenv("SDL_VIDEODRIVER", "x11", 1);
    SDL_InitSubSystem(SDL_INIT_VIDEO);
  }
  return *server;
}

void XHostTest::SetUpTestSuite() { XEnvironment::Server(); }

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new XEnvironment);

}  // namespace sib::test
