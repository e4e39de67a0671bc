#include "platform/desktop/atspi_bridge.h"

#include <atspi/atspi-constants.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <system_error>

#include "platform/core/run_thread.h"

namespace sib {

const AtspiNode* AtspiTree::Find(std::uint32_t Id) const {
  for (const AtspiNode& node : Nodes)
    if (node.Id == Id) return &node;
  return nullptr;
}

namespace atspi_detail {
namespace {

constexpr const char* kPathPrefix = "/org/a11y/atspi/accessible";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kNullPath = "/org/a11y/atspi/null";
constexpr const char* kCachePath = "/org/a11y/atspi/cache";
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kApplication = "org.a11y.atspi.Application";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kAction = "org.a11y.atspi.Action";
constexpr const char* kValue = "org.a11y.atspi.Value";
constexpr const char* kSelection = "org.a11y.atspi.Selection";
constexpr const char* kText = "org.a11y.atspi.Text";
constexpr const char* kCache = "org.a11y.atspi.Cache";
constexpr const char* kObjectEvents = "org.a11y.atspi.Event.Object";
constexpr const char* kWindowEvents = "org.a11y.atspi.Event.Window";
constexpr const char* kA11yBusName = "org.a11y.Bus";
constexpr const char* kA11yBusPath = "/org/a11y/bus";
constexpr const char* kStatus = "org.a11y.Status";
constexpr std::uint64_t kBusCallTimeoutUs = 5'000'000;
constexpr std::chrono::milliseconds kFlushLimit{250};

std::uint64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

std::string PathOf(std::uint32_t Id) {
  return Id == 0 ? kRootPath : std::string(kPathPrefix) + "/" + std::to_string(Id);
}

// The id a path names; none for a path that is not one of ours.
std::optional<std::uint32_t> IdOf(std::string_view Path) {
  const std::string_view prefix = kPathPrefix;
  if (Path.size() <= prefix.size() + 1 || Path.substr(0, prefix.size()) != prefix || Path[prefix.size()] != '/')
    return std::nullopt;
  const std::string_view last = Path.substr(prefix.size() + 1);
  if (last == "root") return 0;
  if (last.size() > 9 || last.front() == '0') return std::nullopt;
  std::uint32_t id = 0;
  for (char c : last) {
    if (c < '0' || c > '9') return std::nullopt;
    id = id * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return id;
}

struct RoleName {
  TAccessibleRole Role;
  AtspiRole Atspi;
  const char* Name;
};
constexpr RoleName kRoles[] = {
    {TAccessibleRole::None, ATSPI_ROLE_FILLER, "filler"},
    {TAccessibleRole::Frame, ATSPI_ROLE_FRAME, "frame"},
    {TAccessibleRole::Panel, ATSPI_ROLE_PANEL, "panel"},
    {TAccessibleRole::PushButton, ATSPI_ROLE_PUSH_BUTTON, "push button"},
    {TAccessibleRole::ToggleButton, ATSPI_ROLE_TOGGLE_BUTTON, "toggle button"},
    {TAccessibleRole::Slider, ATSPI_ROLE_SLIDER, "slider"},
    {TAccessibleRole::ListBox, ATSPI_ROLE_LIST_BOX, "list box"},
    {TAccessibleRole::ListItem, ATSPI_ROLE_LIST_ITEM, "list item"},
    {TAccessibleRole::Label, ATSPI_ROLE_LABEL, "label"},
    {TAccessibleRole::Menu, ATSPI_ROLE_MENU, "menu"},
    {TAccessibleRole::MenuItem, ATSPI_ROLE_MENU_ITEM, "menu item"},
    {TAccessibleRole::CheckMenuItem, ATSPI_ROLE_CHECK_MENU_ITEM, "check menu item"},
};
const RoleName& RoleOf(TAccessibleRole Role) {
  for (const RoleName& entry : kRoles)
    if (entry.Role == Role) return entry;
  return kRoles[0];
}

struct StateName {
  TAccessibleState State;
  AtspiStateType Atspi;
  const char* Name;
};
// Enabled also means sensitive (takes input), as toolkits report it.
constexpr StateName kStates[] = {
    {asEnabled, ATSPI_STATE_ENABLED, "enabled"},          {asEnabled, ATSPI_STATE_SENSITIVE, "sensitive"},
    {asVisible, ATSPI_STATE_VISIBLE, "visible"},          {asShowing, ATSPI_STATE_SHOWING, "showing"},
    {asFocusable, ATSPI_STATE_FOCUSABLE, "focusable"},    {asFocused, ATSPI_STATE_FOCUSED, "focused"},
    {asCheckable, ATSPI_STATE_CHECKABLE, "checkable"},    {asChecked, ATSPI_STATE_CHECKED, "checked"},
    {asPressed, ATSPI_STATE_PRESSED, "pressed"},          {asSelectable, ATSPI_STATE_SELECTABLE, "selectable"},
    {asSelected, ATSPI_STATE_SELECTED, "selected"},       {asActive, ATSPI_STATE_ACTIVE, "active"},
    {asHorizontal, ATSPI_STATE_HORIZONTAL, "horizontal"},
};

std::uint64_t AtspiStates(TAccessibleStates States) {
  std::uint64_t bits = 0;
  for (const StateName& entry : kStates)
    if (States.Contains(entry.State)) bits |= std::uint64_t{1} << entry.Atspi;
  return bits;
}

// The interfaces an object serves.
std::vector<const char*> InterfacesOf(const AtspiNode* Node) {
  if (!Node) return {kAccessible, kApplication};
  std::vector<const char*> names = {kAccessible, kComponent};
  if (!Node->Actions.empty()) names.push_back(kAction);
  if (Node->Range) names.push_back(kValue);
  if (Node->SelectsChildren) names.push_back(kSelection);
  if (Node->Text) names.push_back(kText);
  return names;
}

// The code points of a UTF-8 text, each as the bytes that make it.
std::vector<std::string_view> Characters(std::string_view Text) {
  std::vector<std::string_view> characters;
  for (std::size_t i = 0; i < Text.size();) {
    std::size_t n = 1;
    while (i + n < Text.size() && (static_cast<unsigned char>(Text[i + n]) & 0xC0) == 0x80) ++n;
    characters.push_back(Text.substr(i, n));
    i += n;
  }
  return characters;
}

std::string Slice(const std::vector<std::string_view>& Characters, int Start, int End) {
  const int count = static_cast<int>(Characters.size());
  if (End < 0 || End > count) End = count;
  Start = std::clamp(Start, 0, End);
  std::string text;
  for (int i = Start; i < End; ++i) text.append(Characters[static_cast<std::size_t>(i)]);
  return text;
}

char32_t CodePoint(std::string_view Character) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(Character[i]); };
  if (Character.empty()) return 0;
  if (byte(0) < 0x80 || Character.size() == 1) return byte(0);
  char32_t c = byte(0) & (0x3F >> (Character.size() - 1));
  for (std::size_t i = 1; i < Character.size(); ++i) c = (c << 6) | (byte(i) & 0x3F);
  return c;
}

}  // namespace

struct Core : std::enable_shared_from_this<Core> {
  Core(AtspiBridge::Options AOptions, AtspiBridge::RequestHandler AOnRequest)
      : options(std::move(AOptions)), onRequest(std::move(AOnRequest)) {}
  ~Core() {
    if (wakeFd >= 0) ::close(wakeFd);
  }

  const AtspiBridge::Options options;
  const AtspiBridge::RequestHandler onRequest;
  std::string sessionAddress;  // fixed before the thread starts
  std::string a11yAddress;     // from the options or the environment; empty: ask the session bus
  int wakeFd = -1;

  // Shared with other threads.
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  AtspiTree tree;  // as last published
  bool published = false;
  AtspiBridge::Status status = AtspiBridge::Status::Waiting;
  std::string uniqueName;
  bool stopping = false;
  bool closed = false;
  std::uint64_t lastSerial = 0;
  std::uint64_t waiting = 0;
  bool answered = false;
  bool failed = false;

  // The thread's own.
  sd_bus* session = nullptr;
  sd_bus* a11y = nullptr;
  bool enabled = false;      // as org.a11y.Status says
  bool statusKnown = false;  // the properties have been read once
  std::string desktopName;   // the registry's reference to our parent (the desktop)
  std::string desktopPath = kNullPath;
  AtspiTree announced;
  bool haveAnnounced = false;
  std::int32_t applicationId = 0;
  std::string myName;  // the unique name on the accessibility bus while connected

  void Wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
  }
  bool Stopping() const {
    std::lock_guard lock(mutex);
    return stopping;
  }
  void SetStatus(AtspiBridge::Status s, std::string name = {}) {
    std::lock_guard lock(mutex);
    status = s;
    uniqueName = std::move(name);
    changed.notify_all();
  }

  void Run();
  bool WatchSession();
  void ReadStatus();
  void Follow();
  void Connect();
  void Disconnect();
  void Loop();
  void WaitForWork();
  void Announce();
  static void CloseBus(sd_bus*& bus);

  // Hands a request over and waits for its answer: true, false, or an error text.
  std::optional<bool> Perform(const AtspiRequest& request, std::string& why);

  // Reads under the lock.
  template <class F>
  auto WithTree(F&& f) const {
    std::lock_guard lock(mutex);
    return f(tree);
  }

  // Appends a reference (so) to the object `Id` of this application (0: the root).
  int AppendReference(sd_bus_message* m, std::uint32_t Id) const;
  int AppendNullReference(sd_bus_message* m) const;
  int AppendCacheItem(sd_bus_message* m, const AtspiTree& t, const AtspiNode* node, std::uint32_t Id) const;
  int Emit(std::uint32_t Id, const char* Interface, const char* Member, const char* Detail, int Detail1, int Detail2,
           char VariantType, const void* Variant);
  int EmitChild(std::uint32_t Id, const char* Detail, int Index, std::uint32_t Child);

  static int Find(sd_bus* bus, const char* path, const char* interface, void* userdata, void** found,
                  sd_bus_error* error);
  static int OnStatusChanged(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnEmbedReply(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnAccessibleMethod(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnAccessibleGet(sd_bus* bus, const char* path, const char* interface, const char* property,
                             sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int OnApplicationMethod(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnApplicationGet(sd_bus* bus, const char* path, const char* interface, const char* property,
                              sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int OnApplicationSet(sd_bus* bus, const char* path, const char* interface, const char* property,
                              sd_bus_message* value, void* userdata, sd_bus_error* error);
  static int OnComponentMethod(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnActionMethod(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnActionGet(sd_bus* bus, const char* path, const char* interface, const char* property,
                         sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int OnValueGet(sd_bus* bus, const char* path, const char* interface, const char* property,
                        sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int OnValueSet(sd_bus* bus, const char* path, const char* interface, const char* property,
                        sd_bus_message* value, void* userdata, sd_bus_error* error);
  static int OnSelectionMethod(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnSelectionGet(sd_bus* bus, const char* path, const char* interface, const char* property,
                            sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int OnTextMethod(sd_bus_message* m, void* userdata, sd_bus_error* error);
  static int OnTextGet(sd_bus* bus, const char* path, const char* interface, const char* property,
                       sd_bus_message* reply, void* userdata, sd_bus_error* error);
  static int OnGetItems(sd_bus_message* m, void* userdata, sd_bus_error* error);
};

namespace {

constexpr auto kMethod = SD_BUS_VTABLE_UNPRIVILEGED;
constexpr auto kProperty = 0;  // read again at each Get: a publication may have changed it

const sd_bus_vtable kAccessibleVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Name", "s", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_PROPERTY("Description", "s", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_PROPERTY("Parent", "(so)", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_PROPERTY("ChildCount", "i", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_PROPERTY("Locale", "s", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_PROPERTY("AccessibleId", "s", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_PROPERTY("HelpText", "s", Core::OnAccessibleGet, 0, kProperty),
    SD_BUS_METHOD("GetChildAtIndex", "i", "(so)", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetChildren", "", "a(so)", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetIndexInParent", "", "i", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetRelationSet", "", "a(ua(so))", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetRole", "", "u", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetRoleName", "", "s", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetLocalizedRoleName", "", "s", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetState", "", "au", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetAttributes", "", "a{ss}", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetApplication", "", "(so)", Core::OnAccessibleMethod, kMethod),
    SD_BUS_METHOD("GetInterfaces", "", "as", Core::OnAccessibleMethod, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kApplicationVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("ToolkitName", "s", Core::OnApplicationGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Version", "s", Core::OnApplicationGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AtspiVersion", "s", Core::OnApplicationGet, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_WRITABLE_PROPERTY("Id", "i", Core::OnApplicationGet, Core::OnApplicationSet, 0, kMethod),
    SD_BUS_METHOD("GetLocale", "u", "s", Core::OnApplicationMethod, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kComponentVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Contains", "iiu", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetAccessibleAtPoint", "iiu", "(so)", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetExtents", "u", "(iiii)", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetPosition", "u", "ii", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetSize", "", "ii", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetLayer", "", "u", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetMDIZOrder", "", "n", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GrabFocus", "", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("GetAlpha", "", "d", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("SetExtents", "iiiiu", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("SetPosition", "iiu", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("SetSize", "ii", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("ScrollTo", "u", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_METHOD("ScrollToPoint", "uii", "b", Core::OnComponentMethod, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kActionVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("NActions", "i", Core::OnActionGet, 0, kProperty),
    SD_BUS_METHOD("GetDescription", "i", "s", Core::OnActionMethod, kMethod),
    SD_BUS_METHOD("GetName", "i", "s", Core::OnActionMethod, kMethod),
    SD_BUS_METHOD("GetLocalizedName", "i", "s", Core::OnActionMethod, kMethod),
    SD_BUS_METHOD("GetKeyBinding", "i", "s", Core::OnActionMethod, kMethod),
    SD_BUS_METHOD("GetActions", "", "a(sss)", Core::OnActionMethod, kMethod),
    SD_BUS_METHOD("DoAction", "i", "b", Core::OnActionMethod, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kValueVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("MinimumValue", "d", Core::OnValueGet, 0, kProperty),
    SD_BUS_PROPERTY("MaximumValue", "d", Core::OnValueGet, 0, kProperty),
    SD_BUS_PROPERTY("MinimumIncrement", "d", Core::OnValueGet, 0, kProperty),
    SD_BUS_PROPERTY("Text", "s", Core::OnValueGet, 0, kProperty),
    SD_BUS_WRITABLE_PROPERTY("CurrentValue", "d", Core::OnValueGet, Core::OnValueSet, 0, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kSelectionVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("NSelectedChildren", "i", Core::OnSelectionGet, 0, kProperty),
    SD_BUS_METHOD("GetSelectedChild", "i", "(so)", Core::OnSelectionMethod, kMethod),
    SD_BUS_METHOD("SelectChild", "i", "b", Core::OnSelectionMethod, kMethod),
    SD_BUS_METHOD("DeselectSelectedChild", "i", "b", Core::OnSelectionMethod, kMethod),
    SD_BUS_METHOD("IsChildSelected", "i", "b", Core::OnSelectionMethod, kMethod),
    SD_BUS_METHOD("SelectAll", "", "b", Core::OnSelectionMethod, kMethod),
    SD_BUS_METHOD("ClearSelection", "", "b", Core::OnSelectionMethod, kMethod),
    SD_BUS_METHOD("DeselectChild", "i", "b", Core::OnSelectionMethod, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kTextVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("CharacterCount", "i", Core::OnTextGet, 0, kProperty),
    SD_BUS_PROPERTY("CaretOffset", "i", Core::OnTextGet, 0, kProperty),
    SD_BUS_METHOD("GetText", "ii", "s", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetCharacterAtOffset", "i", "i", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetStringAtOffset", "iu", "sii", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetTextAtOffset", "iu", "sii", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetNSelections", "", "i", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetDefaultAttributes", "", "a{ss}", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetAttributes", "i", "a{ss}ii", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("GetAttributeRun", "ib", "a{ss}ii", Core::OnTextMethod, kMethod),
    SD_BUS_METHOD("SetCaretOffset", "i", "b", Core::OnTextMethod, kMethod),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kCacheVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetItems", "", "a((so)(so)(so)iiassusau)", Core::OnGetItems, kMethod),
    SD_BUS_SIGNAL("AddAccessible", "((so)(so)(so)iiassusau)", 0),
    SD_BUS_SIGNAL("RemoveAccessible", "(so)", 0),
    SD_BUS_VTABLE_END,
};

Core& CoreOf(void* userdata) { return *static_cast<Core*>(userdata); }

std::uint32_t IdOfMessage(sd_bus_message* m) { return IdOf(sd_bus_message_get_path(m)).value_or(0); }

int InvalidArgs(sd_bus_error* error, const char* text) {
  return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, text);
}

int NoObject(sd_bus_error* error) {
  return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_OBJECT, "No such accessible object");
}

// The node's index among its parent's children; -1 when it has no parent in the tree.
int IndexInParent(const AtspiTree& t, const AtspiNode& node) {
  if (node.Parent == 0) return 0;  // the frame, the application's only child
  const AtspiNode* parent = t.Find(node.Parent);
  if (!parent) return -1;
  const auto at = std::find(parent->Children.begin(), parent->Children.end(), node.Id);
  return at == parent->Children.end() ? -1 : static_cast<int>(at - parent->Children.begin());
}

TRect InCoordinates(const AtspiTree& t, const AtspiNode& node, std::uint32_t coordType) {
  TRect r = node.Extents;
  TPoint origin{0, 0};
  if (coordType == ATSPI_COORD_TYPE_WINDOW && !t.Nodes.empty()) {
    origin = {t.Nodes.front().Extents.Left, t.Nodes.front().Extents.Top};
  } else if (coordType == ATSPI_COORD_TYPE_PARENT) {
    if (const AtspiNode* parent = t.Find(node.Parent)) origin = {parent->Extents.Left, parent->Extents.Top};
  }
  return TRect::FromSize(r.Left - origin.X, r.Top - origin.Y, r.Width(), r.Height());
}

// The deepest showing descendant of `node` whose extents hold `P` (screen); 0: none.
std::uint32_t DescendantAt(const AtspiTree& t, const AtspiNode& node, TPoint P) {
  for (auto child = node.Children.rbegin(); child != node.Children.rend(); ++child) {
    const AtspiNode* c = t.Find(*child);
    if (!c || !c->States.Contains(asShowing) || !c->Extents.Contains(P)) continue;
    const std::uint32_t deeper = DescendantAt(t, *c, P);
    return deeper ? deeper : c->Id;
  }
  return 0;
}

}  // namespace

// --- References and events ------------------------------------------------------------------------

int Core::AppendReference(sd_bus_message* m, std::uint32_t Id) const {
  const std::string path = PathOf(Id);
  return sd_bus_message_append(m, "(so)", myName.c_str(), path.c_str());
}

int Core::AppendNullReference(sd_bus_message* m) const { return sd_bus_message_append(m, "(so)", "", kNullPath); }

// One entry of the cache: the object, the application, the parent, the index in the parent, the
// child count, the interfaces, the name, the role, the description and the states.
int Core::AppendCacheItem(sd_bus_message* m, const AtspiTree& t, const AtspiNode* node, std::uint32_t Id) const {
  int r = sd_bus_message_open_container(m, 'r', "(so)(so)(so)iiassusau");
  if (r >= 0) r = AppendReference(m, Id);
  if (r >= 0) r = AppendReference(m, 0);
  if (r >= 0) {
    if (!node)
      r = sd_bus_message_append(m, "(so)", desktopName.c_str(), desktopPath.c_str());
    else
      r = AppendReference(m, node->Parent);
  }
  const int index = node ? IndexInParent(t, *node) : -1;
  const int children = node ? static_cast<int>(node->Children.size()) : (t.Nodes.empty() ? 0 : 1);
  if (r >= 0) r = sd_bus_message_append(m, "ii", index, children);
  if (r >= 0) r = sd_bus_message_open_container(m, 'a', "s");
  for (const char* name : InterfacesOf(node))
    if (r >= 0) r = sd_bus_message_append(m, "s", name);
  if (r >= 0) r = sd_bus_message_close_container(m);
  const std::string name = node ? node->Name : options.ApplicationName;
  const auto role = static_cast<std::uint32_t>(node ? RoleOf(node->Role).Atspi : ATSPI_ROLE_APPLICATION);
  if (r >= 0) r = sd_bus_message_append(m, "sus", name.c_str(), role, node ? node->Description.c_str() : "");
  const std::uint64_t states = node ? AtspiStates(node->States) : 0;
  if (r >= 0)
    r = sd_bus_message_append(m, "au", 2, static_cast<std::uint32_t>(states & 0xFFFFFFFFu),
                              static_cast<std::uint32_t>(states >> 32));
  if (r >= 0) r = sd_bus_message_close_container(m);
  return r;
}

int Core::Emit(std::uint32_t Id, const char* Interface, const char* Member, const char* Detail, int Detail1,
               int Detail2, char VariantType, const void* Variant) {
  sd_bus_message* m = nullptr;
  const std::string path = PathOf(Id);
  int r = sd_bus_message_new_signal(a11y, &m, path.c_str(), Interface, Member);
  if (r >= 0) r = sd_bus_message_append(m, "sii", Detail, Detail1, Detail2);
  const char type[2] = {VariantType, 0};
  if (r >= 0) r = sd_bus_message_open_container(m, 'v', type);
  if (r >= 0) r = sd_bus_message_append_basic(m, VariantType, Variant);
  if (r >= 0) r = sd_bus_message_close_container(m);
  if (r >= 0) r = sd_bus_message_append(m, "a{sv}", 0);
  if (r >= 0) r = sd_bus_send(a11y, m, nullptr);
  sd_bus_message_unref(m);
  return r;
}

int Core::EmitChild(std::uint32_t Id, const char* Detail, int Index, std::uint32_t Child) {
  sd_bus_message* m = nullptr;
  const std::string path = PathOf(Id);
  int r = sd_bus_message_new_signal(a11y, &m, path.c_str(), kObjectEvents, "ChildrenChanged");
  if (r >= 0) r = sd_bus_message_append(m, "sii", Detail, Index, 0);
  if (r >= 0) r = sd_bus_message_open_container(m, 'v', "(so)");
  if (r >= 0) r = AppendReference(m, Child);
  if (r >= 0) r = sd_bus_message_close_container(m);
  if (r >= 0) r = sd_bus_message_append(m, "a{sv}", 0);
  if (r >= 0) r = sd_bus_send(a11y, m, nullptr);
  sd_bus_message_unref(m);
  return r;
}

// Sends what changed between the last announced tree and the published one.
void Core::Announce() {
  if (!a11y) return;
  AtspiTree now;
  {
    std::lock_guard lock(mutex);
    if (status != AtspiBridge::Status::Connected || !published) return;
    now = tree;
  }
  if (!haveAnnounced) {
    announced = std::move(now);
    haveAnnounced = true;
    return;
  }
  if (now.Nodes == announced.Nodes) return;
  for (const AtspiNode& old : announced.Nodes)
    if (!now.Find(old.Id)) {
      sd_bus_message* m = nullptr;
      if (sd_bus_message_new_signal(a11y, &m, kCachePath, kCache, "RemoveAccessible") >= 0 &&
          AppendReference(m, old.Id) >= 0)
        sd_bus_send(a11y, m, nullptr);
      sd_bus_message_unref(m);
    }
  for (const AtspiNode& node : now.Nodes) {
    const AtspiNode* old = announced.Find(node.Id);
    if (!old) {
      sd_bus_message* m = nullptr;
      if (sd_bus_message_new_signal(a11y, &m, kCachePath, kCache, "AddAccessible") >= 0 &&
          AppendCacheItem(m, now, &node, node.Id) >= 0)
        sd_bus_send(a11y, m, nullptr);
      sd_bus_message_unref(m);
      continue;
    }
    if (old->Name != node.Name) {
      const char* name = node.Name.c_str();
      Emit(node.Id, kObjectEvents, "PropertyChange", "accessible-name", 0, 0, 's', name);
    }
    if (old->Description != node.Description) {
      const char* description = node.Description.c_str();
      Emit(node.Id, kObjectEvents, "PropertyChange", "accessible-description", 0, 0, 's', description);
    }
    if (node.Range && (!old->Range || old->Range->Value != node.Range->Value)) {
      const double value = node.Range->Value;
      Emit(node.Id, kObjectEvents, "PropertyChange", "accessible-value", 0, 0, 'd', &value);
    }
    if (old->Text != node.Text && node.Text) {
      const std::int32_t zero = 0;
      Emit(node.Id, kObjectEvents, "TextChanged", "delete", 0,
           static_cast<int>(Characters(old->Text.value_or("")).size()), 'i', &zero);
      const char* text = node.Text->c_str();
      Emit(node.Id, kObjectEvents, "TextChanged", "insert", 0, static_cast<int>(Characters(*node.Text).size()), 's',
           text);
    }
    // Children: the removed, then the added.
    for (std::size_t i = 0; i < old->Children.size(); ++i)
      if (std::find(node.Children.begin(), node.Children.end(), old->Children[i]) == node.Children.end())
        EmitChild(node.Id, "remove", static_cast<int>(i), old->Children[i]);
    for (std::size_t i = 0; i < node.Children.size(); ++i)
      if (std::find(old->Children.begin(), old->Children.end(), node.Children[i]) == old->Children.end())
        EmitChild(node.Id, "add", static_cast<int>(i), node.Children[i]);
    // The selection of a list: its items' selected states and the list's own event.
    if (node.SelectsChildren) {
      bool selectionChanged = false;
      for (std::uint32_t child : node.Children) {
        const AtspiNode* before = announced.Find(child);
        const AtspiNode* after = now.Find(child);
        if (before && after && before->States.Contains(asSelected) != after->States.Contains(asSelected))
          selectionChanged = true;
      }
      const std::int32_t zero = 0;
      if (selectionChanged) Emit(node.Id, kObjectEvents, "SelectionChanged", "", 0, 0, 'i', &zero);
    }
    // States: focus last, so that a screen reader reads the control as it is now.
    const std::uint64_t before = AtspiStates(old->States);
    const std::uint64_t after = AtspiStates(node.States);
    for (const StateName& state : kStates) {
      const std::uint64_t bit = std::uint64_t{1} << state.Atspi;
      if (state.State == asFocused || (before & bit) == (after & bit)) continue;
      const std::int32_t zero = 0;
      Emit(node.Id, kObjectEvents, "StateChanged", state.Name, (after & bit) ? 1 : 0, 0, 'i', &zero);
    }
    if (old->States.Contains(asActive) != node.States.Contains(asActive) && node.Role == TAccessibleRole::Frame) {
      const std::int32_t zero = 0;
      Emit(node.Id, kWindowEvents, node.States.Contains(asActive) ? "Activate" : "Deactivate", "", 0, 0, 'i', &zero);
    }
  }
  // Focus: first the control that lost it, then the one that gained it.
  for (bool gained : {false, true})
    for (const AtspiNode& node : now.Nodes) {
      const AtspiNode* old = announced.Find(node.Id);
      if (!old || old->States.Contains(asFocused) == node.States.Contains(asFocused)) continue;
      if (node.States.Contains(asFocused) != gained) continue;
      const std::int32_t zero = 0;
      Emit(node.Id, kObjectEvents, "StateChanged", "focused", gained ? 1 : 0, 0, 'i', &zero);
    }
  announced = std::move(now);
}

// --- Requests -------------------------------------------------------------------------------------

std::optional<bool> Core::Perform(const AtspiRequest& request, std::string& why) {
  std::uint64_t serial = 0;
  {
    std::lock_guard lock(mutex);
    if (stopping || closed) {
      why = "The window is closing";
      return std::nullopt;
    }
    serial = ++lastSerial;
    waiting = serial;
    answered = false;
    failed = false;
  }
  try {
    onRequest(request, std::make_shared<AtspiReply>(shared_from_this(), serial));
  } catch (const std::exception& error) {
    std::lock_guard lock(mutex);
    waiting = 0;
    why = error.what();
    return std::nullopt;
  }
  std::unique_lock lock(mutex);
  changed.wait_for(lock, options.RequestLimit, [&] { return answered || stopping; });
  waiting = 0;
  if (!answered && stopping) {
    why = "The window is closing";
    return std::nullopt;
  }
  if (!answered) {
    why = "The window did not answer in time";
    return std::nullopt;
  }
  return !failed;
}

// Replies to `m` with the outcome of `request`: the boolean, or an error.
int ReplyToRequest(Core& core, sd_bus_message* m, const AtspiRequest& request, sd_bus_error* error) {
  std::string why;
  const std::optional<bool> done = core.Perform(request, why);
  if (!done) return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, why.c_str());
  return sd_bus_reply_method_return(m, "b", static_cast<int>(*done));
}

// --- Object lookup --------------------------------------------------------------------------------

int Core::Find(sd_bus*, const char* path, const char* interface, void* userdata, void** found, sd_bus_error*) {
  Core& core = CoreOf(userdata);
  const std::optional<std::uint32_t> id = IdOf(path);
  if (!id) return 0;
  const std::string_view name = interface;
  const bool has = core.WithTree([&](const AtspiTree& t) {
    if (*id == 0) return name == kAccessible || name == kApplication;
    const AtspiNode* node = t.Find(*id);
    if (!node) return false;
    for (const char* served : InterfacesOf(node))
      if (name == served) return true;
    return false;
  });
  if (!has) return 0;
  *found = userdata;
  return 1;
}

// --- Accessible -----------------------------------------------------------------------------------

int Core::OnAccessibleGet(sd_bus*, const char* path, const char*, const char* property, sd_bus_message* reply,
                          void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  const std::uint32_t id = IdOf(path).value_or(0);
  const std::string_view name = property;
  std::lock_guard lock(core.mutex);
  const AtspiNode* node = id ? core.tree.Find(id) : nullptr;
  if (id && !node) return NoObject(error);
  if (name == "Name")
    return sd_bus_message_append(reply, "s", node ? node->Name.c_str() : core.options.ApplicationName.c_str());
  if (name == "Description") return sd_bus_message_append(reply, "s", node ? node->Description.c_str() : "");
  if (name == "Parent") {
    if (!node) return sd_bus_message_append(reply, "(so)", core.desktopName.c_str(), core.desktopPath.c_str());
    return core.AppendReference(reply, node->Parent);
  }
  if (name == "ChildCount")
    return sd_bus_message_append(
        reply, "i", node ? static_cast<int>(node->Children.size()) : static_cast<int>(core.tree.Nodes.empty() ? 0 : 1));
  if (name == "Locale") return sd_bus_message_append(reply, "s", "en_US.UTF-8");
  if (name == "AccessibleId") return sd_bus_message_append(reply, "s", id ? std::to_string(id).c_str() : "");
  return sd_bus_message_append(reply, "s", "");  // HelpText
}

int Core::OnAccessibleMethod(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  const std::uint32_t id = IdOfMessage(m);
  const std::string_view member = sd_bus_message_get_member(m);
  sd_bus_message* reply = nullptr;
  int r = 0;
  {
    std::lock_guard lock(core.mutex);
    const AtspiTree& t = core.tree;
    const AtspiNode* node = id ? t.Find(id) : nullptr;
    if (id && !node) return NoObject(error);
    std::vector<std::uint32_t> children = node ? node->Children : std::vector<std::uint32_t>{};
    if (!node && !t.Nodes.empty()) children.push_back(t.Nodes.front().Id);
    std::int32_t index = 0;
    if (member == "GetChildAtIndex") {
      if ((r = sd_bus_message_read(m, "i", &index)) < 0) return r;
      if (index < 0 || static_cast<std::size_t>(index) >= children.size())
        return InvalidArgs(error, "No child at that index");
    }
    if ((r = sd_bus_message_new_method_return(m, &reply)) < 0) return r;
    if (member == "GetChildAtIndex") {
      r = core.AppendReference(reply, children[static_cast<std::size_t>(index)]);
    } else if (member == "GetChildren") {
      r = sd_bus_message_open_container(reply, 'a', "(so)");
      for (std::uint32_t child : children)
        if (r >= 0) r = core.AppendReference(reply, child);
      if (r >= 0) r = sd_bus_message_close_container(reply);
    } else if (member == "GetIndexInParent") {
      r = sd_bus_message_append(reply, "i", node ? IndexInParent(t, *node) : -1);
    } else if (member == "GetRelationSet") {
      r = sd_bus_message_open_container(reply, 'a', "(ua(so))");
      if (node) {
        // Labelled by its label; and a label is the label for the controls it names.
        std::vector<std::uint32_t> labelFor;
        for (const AtspiNode& other : t.Nodes)
          if (other.LabelledBy == node->Id) labelFor.push_back(other.Id);
        const auto relation = [&](std::uint32_t type, const std::vector<std::uint32_t>& targets) {
          if (targets.empty() || r < 0) return;
          r = sd_bus_message_open_container(reply, 'r', "ua(so)");
          if (r >= 0) r = sd_bus_message_append(reply, "u", type);
          if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(so)");
          for (std::uint32_t target : targets)
            if (r >= 0) r = core.AppendReference(reply, target);
          if (r >= 0) r = sd_bus_message_close_container(reply);
          if (r >= 0) r = sd_bus_message_close_container(reply);
        };
        if (node->LabelledBy && t.Find(node->LabelledBy)) relation(ATSPI_RELATION_LABELLED_BY, {node->LabelledBy});
        relation(ATSPI_RELATION_LABEL_FOR, labelFor);
      }
      if (r >= 0) r = sd_bus_message_close_container(reply);
    } else if (member == "GetRole") {
      r = sd_bus_message_append(reply, "u",
                                static_cast<std::uint32_t>(node ? RoleOf(node->Role).Atspi : ATSPI_ROLE_APPLICATION));
    } else if (member == "GetRoleName" || member == "GetLocalizedRoleName") {
      r = sd_bus_message_append(reply, "s", node ? RoleOf(node->Role).Name : "application");
    } else if (member == "GetState") {
      const std::uint64_t states = node ? AtspiStates(node->States) : 0;
      r = sd_bus_message_append(reply, "au", 2, static_cast<std::uint32_t>(states & 0xFFFFFFFFu),
                                static_cast<std::uint32_t>(states >> 32));
    } else if (member == "GetAttributes") {
      r = sd_bus_message_append(reply, "a{ss}", 1, "toolkit", core.options.ApplicationName.c_str());
    } else if (member == "GetApplication") {
      r = core.AppendReference(reply, 0);
    } else {  // GetInterfaces
      r = sd_bus_message_open_container(reply, 'a', "s");
      for (const char* name : InterfacesOf(node))
        if (r >= 0) r = sd_bus_message_append(reply, "s", name);
      if (r >= 0) r = sd_bus_message_close_container(reply);
    }
  }
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r < 0 ? r : 1;
}

// --- Application ----------------------------------------------------------------------------------

int Core::OnApplicationGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                           void* userdata, sd_bus_error*) {
  Core& core = CoreOf(userdata);
  const std::string_view name = property;
  if (name == "ToolkitName") return sd_bus_message_append(reply, "s", core.options.ApplicationName.c_str());
  if (name == "Version") return sd_bus_message_append(reply, "s", "1.0");
  if (name == "AtspiVersion") return sd_bus_message_append(reply, "s", "2.1");
  return sd_bus_message_append(reply, "i", core.applicationId);
}

int Core::OnApplicationSet(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* userdata,
                           sd_bus_error*) {
  return sd_bus_message_read(value, "i", &CoreOf(userdata).applicationId);
}

int Core::OnApplicationMethod(sd_bus_message* m, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(m, "s", "en_US.UTF-8");
}

// --- Component ------------------------------------------------------------------------------------

int Core::OnComponentMethod(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  const std::uint32_t id = IdOfMessage(m);
  const std::string_view member = sd_bus_message_get_member(m);
  if (member == "GrabFocus") {
    const bool focusable = core.WithTree([&](const AtspiTree& t) {
      const AtspiNode* node = t.Find(id);
      return node && node->States.Contains(asFocusable);
    });
    if (!focusable) return sd_bus_reply_method_return(m, "b", 0);
    return ReplyToRequest(core, m, {id, AtspiRequestKind::GrabFocus, 0, 0}, error);
  }
  if (member == "SetExtents" || member == "SetPosition" || member == "SetSize" || member == "ScrollTo" ||
      member == "ScrollToPoint")
    return sd_bus_reply_method_return(m, "b", 0);
  std::lock_guard lock(core.mutex);
  const AtspiTree& t = core.tree;
  const AtspiNode* node = t.Find(id);
  if (!node) return NoObject(error);
  if (member == "GetSize") return sd_bus_reply_method_return(m, "ii", node->Extents.Width(), node->Extents.Height());
  if (member == "GetLayer")
    return sd_bus_reply_method_return(
        m, "u",
        static_cast<std::uint32_t>(node->Role == TAccessibleRole::Frame ? ATSPI_LAYER_WINDOW : ATSPI_LAYER_WIDGET));
  if (member == "GetMDIZOrder") return sd_bus_reply_method_return(m, "n", std::int16_t{0});
  if (member == "GetAlpha") return sd_bus_reply_method_return(m, "d", 1.0);
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::uint32_t coordType = 0;
  int r = 0;
  if (member == "GetExtents" || member == "GetPosition")
    r = sd_bus_message_read(m, "u", &coordType);
  else
    r = sd_bus_message_read(m, "iiu", &x, &y, &coordType);
  if (r < 0) return r;
  if (coordType > ATSPI_COORD_TYPE_PARENT) return InvalidArgs(error, "Unknown coordinate type");
  const TRect box = InCoordinates(t, *node, coordType);
  if (member == "GetExtents")
    return sd_bus_reply_method_return(m, "(iiii)", box.Left, box.Top, box.Width(), box.Height());
  if (member == "GetPosition") return sd_bus_reply_method_return(m, "ii", box.Left, box.Top);
  // Contains and GetAccessibleAtPoint: the point in screen coordinates first.
  const TPoint screen{x + node->Extents.Left - box.Left, y + node->Extents.Top - box.Top};
  if (member == "Contains") return sd_bus_reply_method_return(m, "b", static_cast<int>(node->Extents.Contains(screen)));
  sd_bus_message* reply = nullptr;
  r = sd_bus_message_new_method_return(m, &reply);
  const std::uint32_t at = DescendantAt(t, *node, screen);
  if (r >= 0) r = at ? core.AppendReference(reply, at) : core.AppendNullReference(reply);
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r < 0 ? r : 1;
}

// --- Action ---------------------------------------------------------------------------------------

int Core::OnActionGet(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply, void* userdata,
                      sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  std::lock_guard lock(core.mutex);
  const AtspiNode* node = core.tree.Find(IdOf(path).value_or(0));
  if (!node) return NoObject(error);
  return sd_bus_message_append(reply, "i", static_cast<int>(node->Actions.size()));
}

int Core::OnActionMethod(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  const std::uint32_t id = IdOfMessage(m);
  const std::string_view member = sd_bus_message_get_member(m);
  std::vector<TAccessibleAction> actions;
  {
    std::lock_guard lock(core.mutex);
    const AtspiNode* node = core.tree.Find(id);
    if (!node) return NoObject(error);
    actions = node->Actions;
  }
  if (member == "GetActions") {
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(sss)");
    for (const TAccessibleAction& action : actions)
      if (r >= 0) r = sd_bus_message_append(reply, "(sss)", action.Name.c_str(), action.Name.c_str(), "");
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r < 0 ? r : 1;
  }
  std::int32_t index = 0;
  if (const int r = sd_bus_message_read(m, "i", &index); r < 0) return r;
  if (index < 0 || static_cast<std::size_t>(index) >= actions.size())
    return InvalidArgs(error, "No action with that number");
  const TAccessibleAction& action = actions[static_cast<std::size_t>(index)];
  if (member == "GetName" || member == "GetLocalizedName")
    return sd_bus_reply_method_return(m, "s", action.Name.c_str());
  if (member == "GetDescription") return sd_bus_reply_method_return(m, "s", action.Description.c_str());
  if (member == "GetKeyBinding") return sd_bus_reply_method_return(m, "s", "");
  return ReplyToRequest(core, m, {id, AtspiRequestKind::Action, index, 0}, error);
}

// --- Value ----------------------------------------------------------------------------------------

int Core::OnValueGet(sd_bus*, const char* path, const char*, const char* property, sd_bus_message* reply,
                     void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  std::lock_guard lock(core.mutex);
  const AtspiNode* node = core.tree.Find(IdOf(path).value_or(0));
  if (!node || !node->Range) return NoObject(error);
  const std::string_view name = property;
  const TAccessibleRange& range = *node->Range;
  if (name == "MinimumValue") return sd_bus_message_append(reply, "d", range.Minimum);
  if (name == "MaximumValue") return sd_bus_message_append(reply, "d", range.Maximum);
  if (name == "MinimumIncrement") return sd_bus_message_append(reply, "d", range.Step);
  if (name == "Text") return sd_bus_message_append(reply, "s", "");
  return sd_bus_message_append(reply, "d", range.Value);
}

int Core::OnValueSet(sd_bus*, const char* path, const char*, const char*, sd_bus_message* value, void* userdata,
                     sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  double wanted = 0;
  if (const int r = sd_bus_message_read(value, "d", &wanted); r < 0) return r;
  const std::uint32_t id = IdOf(path).value_or(0);
  const std::optional<TAccessibleRange> range = core.WithTree([&](const AtspiTree& t) {
    const AtspiNode* node = t.Find(id);
    return node ? node->Range : std::nullopt;
  });
  if (!range) return NoObject(error);
  if (!std::isfinite(wanted) || wanted < range->Minimum || wanted > range->Maximum)
    return InvalidArgs(error, "The value must be a number within the range");
  std::string why;
  const std::optional<bool> done = core.Perform({id, AtspiRequestKind::SetValue, 0, wanted}, why);
  if (!done) return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, why.c_str());
  if (!*done) return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, "The control did not take the value");
  return 0;
}

// --- Selection ------------------------------------------------------------------------------------

int Core::OnSelectionGet(sd_bus*, const char* path, const char*, const char*, sd_bus_message* reply, void* userdata,
                         sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  std::lock_guard lock(core.mutex);
  const AtspiNode* node = core.tree.Find(IdOf(path).value_or(0));
  if (!node) return NoObject(error);
  int selected = 0;
  for (std::uint32_t child : node->Children)
    if (const AtspiNode* c = core.tree.Find(child); c && c->States.Contains(asSelected)) ++selected;
  return sd_bus_message_append(reply, "i", selected);
}

int Core::OnSelectionMethod(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  const std::uint32_t id = IdOfMessage(m);
  const std::string_view member = sd_bus_message_get_member(m);
  std::vector<std::uint32_t> children;
  std::vector<std::uint32_t> selected;
  {
    std::lock_guard lock(core.mutex);
    const AtspiNode* node = core.tree.Find(id);
    if (!node) return NoObject(error);
    children = node->Children;
    for (std::uint32_t child : children)
      if (const AtspiNode* c = core.tree.Find(child); c && c->States.Contains(asSelected)) selected.push_back(child);
  }
  // One item is always chosen: nothing can be deselected, and all can be selected only when one is all.
  if (member == "ClearSelection") return sd_bus_reply_method_return(m, "b", 0);
  if (member == "SelectAll") return sd_bus_reply_method_return(m, "b", static_cast<int>(children.size() == 1));
  std::int32_t index = 0;
  if (const int r = sd_bus_message_read(m, "i", &index); r < 0) return r;
  if (member == "GetSelectedChild" || member == "DeselectSelectedChild") {
    if (index < 0 || static_cast<std::size_t>(index) >= selected.size())
      return InvalidArgs(error, "No selected child at that index");
    if (member == "DeselectSelectedChild") return sd_bus_reply_method_return(m, "b", 0);
    sd_bus_message* reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    if (r >= 0) r = core.AppendReference(reply, selected[static_cast<std::size_t>(index)]);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r < 0 ? r : 1;
  }
  if (index < 0 || static_cast<std::size_t>(index) >= children.size())
    return InvalidArgs(error, "No child at that index");
  const std::uint32_t child = children[static_cast<std::size_t>(index)];
  const bool isSelected = std::find(selected.begin(), selected.end(), child) != selected.end();
  if (member == "IsChildSelected") return sd_bus_reply_method_return(m, "b", static_cast<int>(isSelected));
  if (member == "DeselectChild") return sd_bus_reply_method_return(m, "b", 0);
  return ReplyToRequest(core, m, {id, AtspiRequestKind::SelectItem, index, 0}, error);  // SelectChild
}

// --- Text -----------------------------------------------------------------------------------------

int Core::OnTextGet(sd_bus*, const char* path, const char*, const char* property, sd_bus_message* reply, void* userdata,
                    sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  std::lock_guard lock(core.mutex);
  const AtspiNode* node = core.tree.Find(IdOf(path).value_or(0));
  if (!node || !node->Text) return NoObject(error);
  if (std::string_view(property) == "CaretOffset") return sd_bus_message_append(reply, "i", -1);
  return sd_bus_message_append(reply, "i", static_cast<int>(Characters(*node->Text).size()));
}

int Core::OnTextMethod(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  Core& core = CoreOf(userdata);
  const std::string_view member = sd_bus_message_get_member(m);
  std::string text;
  {
    std::lock_guard lock(core.mutex);
    const AtspiNode* node = core.tree.Find(IdOfMessage(m));
    if (!node || !node->Text) return NoObject(error);
    text = *node->Text;
  }
  const std::vector<std::string_view> characters = Characters(text);
  const int count = static_cast<int>(characters.size());
  if (member == "GetNSelections") return sd_bus_reply_method_return(m, "i", 0);
  if (member == "GetDefaultAttributes") return sd_bus_reply_method_return(m, "a{ss}", 0);
  std::int32_t first = 0;
  if (member == "GetText") {
    std::int32_t end = 0;
    if (const int r = sd_bus_message_read(m, "ii", &first, &end); r < 0) return r;
    return sd_bus_reply_method_return(m, "s", Slice(characters, first, end).c_str());
  }
  if (const int r = sd_bus_message_read(m, "i", &first); r < 0) return r;
  if (member == "SetCaretOffset") return sd_bus_reply_method_return(m, "b", 0);
  if (member == "GetAttributes" || member == "GetAttributeRun")
    return sd_bus_reply_method_return(m, "a{ss}ii", 0, 0, count);
  if (first < 0 || first > count) return InvalidArgs(error, "Offset outside the text");
  if (member == "GetCharacterAtOffset")
    return sd_bus_reply_method_return(
        m, "i", first < count ? static_cast<std::int32_t>(CodePoint(characters[static_cast<std::size_t>(first)])) : 0);
  // GetStringAtOffset and GetTextAtOffset: a character, or else the whole text (one word, line and
  // sentence: the texts served are captions and readouts).
  std::uint32_t granularity = 0;
  if (const int r = sd_bus_message_read(m, "u", &granularity); r < 0) return r;
  const bool character = member == "GetStringAtOffset" ? granularity == ATSPI_TEXT_GRANULARITY_CHAR
                                                       : granularity == ATSPI_TEXT_BOUNDARY_CHAR;
  if (character && first < count)
    return sd_bus_reply_method_return(m, "sii", Slice(characters, first, first + 1).c_str(), first, first + 1);
  return sd_bus_reply_method_return(m, "sii", text.c_str(), 0, count);
}

// --- Cache ----------------------------------------------------------------------------------------

int Core::OnGetItems(sd_bus_message* m, void* userdata, sd_bus_error*) {
  Core& core = CoreOf(userdata);
  sd_bus_message* reply = nullptr;
  int r = sd_bus_message_new_method_return(m, &reply);
  {
    std::lock_guard lock(core.mutex);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "((so)(so)(so)iiassusau)");
    if (r >= 0) r = core.AppendCacheItem(reply, core.tree, nullptr, 0);
    for (const AtspiNode& node : core.tree.Nodes)
      if (r >= 0) r = core.AppendCacheItem(reply, core.tree, &node, node.Id);
    if (r >= 0) r = sd_bus_message_close_container(reply);
  }
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r < 0 ? r : 1;
}

// --- The buses ------------------------------------------------------------------------------------

void Core::CloseBus(sd_bus*& bus) {
  if (!bus) return;
  const std::uint64_t until = MonotonicMicroseconds() + static_cast<std::uint64_t>(kFlushLimit.count()) * 1000u;
  while (sd_bus_is_open(bus) > 0) {
    const int events = sd_bus_get_events(bus);
    const std::uint64_t now = MonotonicMicroseconds();
    if (events <= 0 || !(events & POLLOUT) || now >= until) break;
    pollfd fd{sd_bus_get_fd(bus), POLLOUT, 0};
    ::poll(&fd, 1, static_cast<int>((until - now + 999) / 1000));
    if (sd_bus_flush(bus) < 0) break;
  }
  bus = sd_bus_close_unref(bus);
}

void Core::Run() {
  if (sessionAddress.empty() && a11yAddress.empty()) {
    SetStatus(AtspiBridge::Status::Off);
    return;
  }
  if (!sessionAddress.empty() && WatchSession()) {
    ReadStatus();
  } else if (!a11yAddress.empty()) {
    // No session bus to say whether anyone listens: the accessibility bus named is taken as the sign.
    enabled = true;
    statusKnown = true;
  } else {
    SetStatus(AtspiBridge::Status::Off);
    return;
  }
  Follow();
  Loop();
  Disconnect();
  CloseBus(session);
}

bool Core::WatchSession() {
  int r = sd_bus_new(&session);
  if (r >= 0) r = sd_bus_set_address(session, sessionAddress.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(session, 1);
  if (r >= 0) r = sd_bus_set_method_call_timeout(session, kBusCallTimeoutUs);
  if (r >= 0) r = sd_bus_start(session);
  if (r >= 0)
    r = sd_bus_match_signal(session, nullptr, nullptr, kA11yBusPath, "org.freedesktop.DBus.Properties",
                            "PropertiesChanged", &Core::OnStatusChanged, this);
  if (r < 0) session = sd_bus_close_unref(session);
  return r >= 0;
}

// Reads IsEnabled and ScreenReaderEnabled (which starts the bus launcher when it is not running).
void Core::ReadStatus() {
  bool on = false;
  for (const char* property : {"IsEnabled", "ScreenReaderEnabled"}) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int value = 0;
    if (sd_bus_get_property_trivial(session, kA11yBusName, kA11yBusPath, kStatus, property, &error, 'b', &value) >= 0)
      on = on || value;
    sd_bus_error_free(&error);
  }
  enabled = on;
  statusKnown = true;
}

int Core::OnStatusChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
  Core& core = CoreOf(userdata);
  const char* interface = nullptr;
  if (sd_bus_message_read(m, "s", &interface) < 0 || std::string_view(interface) != kStatus) return 0;
  core.ReadStatus();
  core.Follow();
  return 0;
}

// Connects or leaves as the status says.
void Core::Follow() {
  if (enabled && !a11y) Connect();
  if (!enabled && a11y) Disconnect();
}

void Core::Connect() {
  std::string address = a11yAddress;
  if (address.empty() && session) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(session, kA11yBusName, kA11yBusPath, kA11yBusName, "GetAddress", &error, &reply, "") >= 0) {
      const char* found = nullptr;
      if (sd_bus_message_read(reply, "s", &found) >= 0 && found) address = found;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
  }
  if (address.empty()) return;
  int r = sd_bus_new(&a11y);
  if (r >= 0) r = sd_bus_set_address(a11y, address.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(a11y, 1);
  if (r >= 0) r = sd_bus_set_trusted(a11y, 1);
  if (r >= 0) r = sd_bus_start(a11y);
  const std::pair<const char*, const sd_bus_vtable*> interfaces[] = {
      {kAccessible, kAccessibleVtable},
      {kApplication, kApplicationVtable},
      {kComponent, kComponentVtable},
      {kAction, kActionVtable},
      {kValue, kValueVtable},
      {kSelection, kSelectionVtable},
      {kText, kTextVtable},
  };
  for (const auto& [name, vtable] : interfaces)
    if (r >= 0) r = sd_bus_add_fallback_vtable(a11y, nullptr, kPathPrefix, name, vtable, &Core::Find, this);
  if (r >= 0) r = sd_bus_add_object_vtable(a11y, nullptr, kCachePath, kCache, kCacheVtable, this);
  const char* unique = nullptr;
  if (r >= 0) r = sd_bus_get_unique_name(a11y, &unique);
  if (r >= 0) {
    myName = unique;
    // The window is read now, so that the registry's first look finds it whole.
    if (options.OnListening) options.OnListening(true);
    r = sd_bus_call_method_async(a11y, nullptr, "org.a11y.atspi.Registry", kRootPath, "org.a11y.atspi.Socket", "Embed",
                                 &Core::OnEmbedReply, this, "(so)", unique, kRootPath);
  }
  if (r < 0) {
    a11y = sd_bus_close_unref(a11y);
    if (!myName.empty() && options.OnListening) options.OnListening(false);
    myName.clear();
  }
}

int Core::OnEmbedReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
  Core& core = CoreOf(userdata);
  if (sd_bus_message_is_method_error(m, nullptr)) return 0;  // no registry: nobody to be found by
  const char* name = nullptr;
  const char* path = nullptr;
  if (sd_bus_message_read(m, "(so)", &name, &path) < 0) return 0;
  core.desktopName = name;
  core.desktopPath = path;
  core.haveAnnounced = false;
  core.SetStatus(AtspiBridge::Status::Connected, core.myName);
  return 0;
}

void Core::Disconnect() {
  if (!a11y) return;
  CloseBus(a11y);
  myName.clear();
  haveAnnounced = false;
  SetStatus(AtspiBridge::Status::Waiting);
  if (options.OnListening) options.OnListening(false);
}

void Core::Loop() {
  while (!Stopping()) {
    bool busy = false;
    for (sd_bus** bus : {&session, &a11y}) {
      if (!*bus) continue;
      const int r = sd_bus_process(*bus, nullptr);
      if (r < 0 || sd_bus_is_open(*bus) <= 0) {
        // A bus that went away: the session's ends the watch, the accessibility bus's the service.
        if (*bus == a11y)
          Disconnect();
        else
          CloseBus(session);
        continue;
      }
      busy = busy || r > 0;
    }
    if (!session && !a11y) {
      SetStatus(AtspiBridge::Status::Off);
      return;
    }
    Announce();
    if (!busy) WaitForWork();
  }
}

void Core::WaitForWork() {
  pollfd fds[3];
  nfds_t count = 0;
  fds[count++] = {wakeFd, POLLIN, 0};
  std::uint64_t until = UINT64_MAX;
  for (sd_bus* bus : {session, a11y}) {
    if (!bus) continue;
    const int events = sd_bus_get_events(bus);
    fds[count++] = {sd_bus_get_fd(bus), static_cast<short>(events > 0 ? events : 0), 0};
    std::uint64_t busUntil = UINT64_MAX;
    if (sd_bus_get_timeout(bus, &busUntil) >= 0) until = std::min(until, busUntil);
  }
  int timeout = -1;
  if (until != UINT64_MAX) {
    const std::uint64_t now = MonotonicMicroseconds();
    timeout = until <= now ? 0 : static_cast<int>(std::min<std::uint64_t>((until - now + 999) / 1000, INT_MAX));
  }
  if (::poll(fds, count, timeout) > 0 && (fds[0].revents & POLLIN)) {
    std::uint64_t ignored = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd, &ignored, sizeof ignored);
  }
}

}  // namespace atspi_detail

using atspi_detail::Core;

AtspiReply::AtspiReply(std::shared_ptr<Core> ACore, std::uint64_t ASerial)
    : FCore(std::move(ACore)), FSerial(ASerial) {}

AtspiReply::~AtspiReply() {
  std::lock_guard lock(FCore->mutex);
  if (FCore->waiting != FSerial) return;
  FCore->answered = true;
  FCore->changed.notify_all();
}

void AtspiReply::Fail() {
  std::lock_guard lock(FCore->mutex);
  if (FCore->waiting == FSerial) FCore->failed = true;
}

AtspiBridge::AtspiBridge(Options AOptions, RequestHandler AOnRequest)
    : FCore(std::make_shared<Core>(std::move(AOptions), std::move(AOnRequest))) {
  if (FCore->options.SessionAddress)
    FCore->sessionAddress = *FCore->options.SessionAddress;
  else if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
    FCore->sessionAddress = address;
  if (FCore->options.AccessibilityAddress)
    FCore->a11yAddress = *FCore->options.AccessibilityAddress;
  else if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"))
    FCore->a11yAddress = address;
  FCore->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FCore->wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  FThread = std::make_unique<RunThread>("a11y", [core = FCore] { core->Run(); });
  FThread->Start();
}

AtspiBridge::~AtspiBridge() {
  {
    std::lock_guard lock(FCore->mutex);
    FCore->stopping = true;
    FCore->changed.notify_all();
  }
  FCore->Wake();
  FThread.reset();
}

void AtspiBridge::Publish(AtspiTree ATree) {
  {
    std::lock_guard lock(FCore->mutex);
    if (FCore->published && FCore->tree.Nodes == ATree.Nodes) return;
    FCore->tree = std::move(ATree);
    FCore->published = true;
  }
  FCore->Wake();
}

void AtspiBridge::Close() {
  std::lock_guard lock(FCore->mutex);
  FCore->closed = true;
  FCore->changed.notify_all();
}

AtspiBridge::Status AtspiBridge::CurrentStatus() const {
  std::lock_guard lock(FCore->mutex);
  return FCore->status;
}

AtspiBridge::Status AtspiBridge::WaitWhile(Status AStatus, std::chrono::milliseconds Limit) const {
  std::unique_lock lock(FCore->mutex);
  FCore->changed.wait_for(lock, Limit, [&] { return FCore->status != AStatus; });
  return FCore->status;
}

std::string AtspiBridge::UniqueName() const {
  std::lock_guard lock(FCore->mutex);
  return FCore->uniqueName;
}

}  // namespace sib
