// Forms made from a stored description: controls and other components created in order, events
// bound by handler name, OnCreate once after every Loaded, the window's settings handed to the host,
// and nothing left behind when the description or OnCreate fails.
#include "platform/components/filer.h"
#include "platform/ui/std_controls.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

Log* loadLog = nullptr;

void note(const std::string& what) {
  if (loadLog) loadLog->push_back(what);
}

class TLoadPanel : public TCustomControl {
  SIB_CLASS(TLoadPanel, TCustomControl)
 public:
  using TCustomControl::TCustomControl;
  void Loaded() override {
    TCustomControl::Loaded();
    note(Name() + ".Loaded");
  }
};

// Stands for a pipeline component: not a control, owned by the form.
class TPipeStage : public TComponent {
  SIB_CLASS(TPipeStage, TComponent)
 public:
  using TComponent::TComponent;
  static TPropertyList PublishedProperties() {
    return {prop("Coefficient", &TPipeStage::Coefficient), prop("Fails", &TPipeStage::Fails)};
  }
  void Loaded() override {
    TComponent::Loaded();
    note(Name() + ".Loaded");
    if (Fails) throw ESLException("Cannot open file");
  }
  double Coefficient = 1.0;
  bool Fails = false;
};

class TLoadForm : public TForm {
  SIB_CLASS(TLoadForm, TForm)
 public:
  using TForm::TForm;
  TLoadPanel* pn1 = nullptr;
  TLoadPanel* inner = nullptr;
  TButton* btnExit = nullptr;
  TLabel* Label1 = nullptr;
  TPipeStage* amp1 = nullptr;
  int creates = 0;
  int clicks = 0;
  bool failCreate = false;

  static TFieldList PublishedFields() {
    return {field("pn1", &TLoadForm::pn1), field("inner", &TLoadForm::inner), field("btnExit", &TLoadForm::btnExit),
            field("Label1", &TLoadForm::Label1), field("amp1", &TLoadForm::amp1)};
  }
  static TMethodList PublishedMethods() {
    return {method("FormCreate", &TLoadForm::FormCreate), method("btnExitClick", &TLoadForm::btnExitClick)};
  }
  void Loaded() override {
    TForm::Loaded();
    note("Form1.Loaded");
  }
  void FormCreate(TObject* /*Sender*/) {
    ++creates;
    note("FormCreate amp1=" + std::to_string(amp1 ? amp1->Coefficient : -1));
    if (failCreate) throw Exception("Create failed");
  }
  void btnExitClick(TObject* /*Sender*/) { ++clicks; }
};

constexpr const char* kDescription = R"(object Form1: TLoadForm
  Left = 0
  Top = 0
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSingle
  Caption = 'Sibilon'
  ClientHeight = 413
  ClientWidth = 471
  Color = clSilver
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  OldCreateOrder = False
  Position = poDesktopCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object pn1: TLoadPanel
    Left = 0
    Top = 0
    Width = 471
    Height = 413
    Align = alClient
    TabOrder = 1
    object inner: TLoadPanel
      Left = 131
      Top = 45
      Width = 208
      Height = 116
    end
    object Label1: TLabel
      Left = 131
      Top = 10
      Width = 202
      Height = 25
      Caption = 'Sibilon'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWhite
      Font.Height = -21
      Font.Name = 'Tahoma'
      Font.Style = []
      ParentFont = False
    end
  end
  object btnExit: TButton
    Left = 291
    Top = 366
    Width = 122
    Height = 25
    Caption = 'Exit Program'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -13
    Font.Name = 'Tahoma'
    Font.Style = []
    ParentFont = False
    TabOrder = 0
    OnClick = btnExitClick
  end
  object amp1: TPipeStage
    Coefficient = 1.000000000000000000
  end
end
)";

class FormLoadingTest : public FormsTest {
 protected:
  void SetUp() override {
    RegisterClasses<TLoadForm, TLoadPanel, TPipeStage, TButton, TLabel>();
    loadLog = &log;
  }
  void TearDown() override { loadLog = nullptr; }
};

TEST_F(FormLoadingTest, OnCreateRunsOnceAfterEveryLoaded) {
  TLoadForm* form = app.CreateForm<TLoadForm>(kDescription);
  EXPECT_EQ(joined(log), "Form1.Loaded pn1.Loaded inner.Loaded amp1.Loaded FormCreate amp1=1.000000");
  EXPECT_EQ(form->creates, 1);
  EXPECT_EQ(app.MainForm(), form);
  ASSERT_TRUE(form->pn1 && form->inner && form->btnExit && form->Label1 && form->amp1);
  EXPECT_EQ(form->inner->Parent(), form->pn1);
  EXPECT_EQ(form->Label1->Parent(), form->pn1);
  EXPECT_EQ(form->btnExit->Parent(), form);
  EXPECT_EQ(form->pn1->BoundsRect(), TRect::FromSize(0, 0, 471, 413)) << "alClient";
  EXPECT_EQ(form->Name(), "Form1");
}

TEST_F(FormLoadingTest, StoredWindowSettingsReachTheHost) {
  TLoadForm* form = app.CreateForm<TLoadForm>(kDescription);
  EXPECT_EQ(form->Window(), nullptr) << "a form is shown by Run or Show, not by loading";
  form->Show();
  const TFormWindowParams& params = window().Params();
  EXPECT_EQ(params.Caption, "Sibilon");
  EXPECT_EQ(params.ClientWidth, 471);
  EXPECT_EQ(params.ClientHeight, 413);
  EXPECT_FALSE(params.Resizable);
  EXPECT_TRUE(params.MinimizeBox);
  EXPECT_FALSE(params.MaximizeBox);
  EXPECT_TRUE(params.Centred);
  EXPECT_EQ(form->Color(), clSilver);
  EXPECT_EQ(form->Font()->Name(), "Tahoma");
  EXPECT_EQ(form->Font()->Size(), 8);
  EXPECT_EQ(form->PixelsPerInch(), 96);
  EXPECT_EQ(form->ActiveControl(), form->btnExit) << "the first tab stop";
}

TEST_F(FormLoadingTest, FontsFollowTheParentUntilSetOnTheControl) {
  TLoadForm* form = app.CreateForm<TLoadForm>(kDescription);
  EXPECT_TRUE(form->inner->ParentFont());
  EXPECT_EQ(form->inner->Font()->Height(), -11);
  EXPECT_FALSE(form->Label1->ParentFont());
  EXPECT_EQ(form->Label1->Font()->Height(), -21);
  EXPECT_EQ(form->Label1->Font()->Color(), clWhite);
  form->Font()->SetName("Arial");
  EXPECT_EQ(form->inner->Font()->Name(), "Arial") << "through the panel";
  EXPECT_EQ(form->Label1->Font()->Name(), "Tahoma");
  form->inner->Font()->SetHeight(-15);
  EXPECT_FALSE(form->inner->ParentFont());
  form->Font()->SetName("Tahoma");
  EXPECT_EQ(form->inner->Font()->Name(), "Arial");
  form->inner->SetParentFont(true);
  EXPECT_EQ(form->inner->Font()->Name(), "Tahoma");
  EXPECT_EQ(form->inner->Font()->Height(), -11);
}

TEST_F(FormLoadingTest, TheButtonRunsItsHandlerBoundByName) {
  TLoadForm* form = app.CreateForm<TLoadForm>(kDescription);
  form->Show();
  const TPoint centre{291 + 61, 366 + 12};
  events().HostMouseMove({}, centre);
  events().HostMouseDown(mbLeft, {ssLeft}, centre);
  EXPECT_EQ(form->clicks, 0);
  events().HostMouseUp(mbLeft, {}, centre);
  EXPECT_EQ(form->clicks, 1);
  EXPECT_EQ(form->btnExit->OnClick.MethodName, "btnExitClick");
}

TEST_F(FormLoadingTest, AFailureLeavesNothingBehindAndPropagates) {
  struct Row {
    const char* name;
    std::string text;
    bool failCreate;
  };
  std::string unknownHandler = kDescription;
  unknownHandler.replace(unknownHandler.find("btnExitClick"), 12, "btnNoSuchOne");
  std::string failingLoaded = kDescription;
  failingLoaded.replace(failingLoaded.find("Coefficient = 1.0"), 17, "Fails = True");
  const Row rows[] = {
      {"a handler the form does not have", unknownHandler, false},
      {"a component that fails as it finishes loading", failingLoaded, false},
      {"OnCreate that raises", kDescription, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log.clear();
    if (row.failCreate) {
      auto form = MakeComponent<TLoadForm>();
      form->failCreate = true;
      EXPECT_THROW(form->LoadFromDescription(row.text), Exception);
      EXPECT_EQ(form->creates, 1);
    } else {
      EXPECT_THROW(app.CreateForm<TLoadForm>(row.text), Exception);
      EXPECT_EQ(app.MainForm(), nullptr);
      EXPECT_TRUE(app.Forms().empty());
      EXPECT_EQ(FindGlobalComponent("Form1"), nullptr);
    }
    const bool created = std::find(log.begin(), log.end(), "FormCreate amp1=1.000000") != log.end();
    EXPECT_EQ(created, row.failCreate) << joined(log) << ": OnCreate runs only after a load that succeeded";
  }
}

TEST_F(FormLoadingTest, ClosingTheMainFormEndsTheLoop) {
  TLoadForm* form = app.CreateForm<TLoadForm>(kDescription);
  bool closed = false;
  form->OnClose = TCloseEvent([&](TObject*, TCloseAction&) { closed = true; });
  loop.Post([&] { window().Events().HostCloseRequest(); });
  app.Run();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(window().Visible());
}

TEST_F(FormLoadingTest, ExceptionsFromPostedWorkAreShownAndTheLoopGoesOn) {
  app.Title = "Sibilon";
  app.CreateForm<TLoadForm>(kDescription);
  loop.Post([] { throw ESLException("Cannot open file - 2 - 2"); });
  loop.Post([&] { app.Terminate(); });
  app.Run();
  ASSERT_EQ(host.Boxes().size(), 1u);
  EXPECT_EQ(host.Boxes()[0].Text, "Cannot open file - 2 - 2");
  EXPECT_EQ(host.Boxes()[0].Caption, "Sibilon");
}

}  // namespace
}  // namespace sib::test
