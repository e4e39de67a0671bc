#include "app/start_up.h"

namespace sib {

namespace {

constexpr const char* kTitle = "Sibilon";
constexpr const char* kUnexpectedError = "Unexpected error";

}  // namespace

Exception FrameworkError(const std::exception& AError) {
  if (const auto* framework = dynamic_cast<const Exception*>(&AError)) return *framework;
  const char* text = AError.what();
  return Exception(text && *text ? text : kUnexpectedError);
}

Exception FrameworkError(std::exception_ptr AError) {
  try {
    std::rethrow_exception(AError);
  } catch (const std::exception& error) {
    return FrameworkError(error);
  } catch (...) {
    return Exception(kUnexpectedError);
  }
}

int RunApplication(IStartUpHost& AHost) {
  std::exception_ptr failure;
  try {
    AHost.Initialize();
    AHost.SetMainFormOnTaskBar(true);
    AHost.SetTitle(kTitle);
    AHost.CreateMainForm();
    AHost.Run();
    return 0;
  } catch (...) {
    failure = std::current_exception();
  }
  const Exception error = FrameworkError(failure);
  AHost.DestroyForms();
  AHost.ShowException(error);
  return kExitStartFailed;
}

}  // namespace sib
