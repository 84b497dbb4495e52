#include "outlook/toolbar.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/memory_host.h"
#include "platform/registry_memory.h"
#include "settings/settings_store.h"
#include "ui/scripted_ui.h"
#include "ui/toolbar_commands.h"

namespace quorvel::outlook {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kStrip = R"("160 16 1 1", ". c #C0C0C0",)";

class ToolbarTest : public ::testing::Test {
 protected:
  ToolbarTest() {
    std::string strip = kStrip;
    for (int y = 0; y < 16; ++y) strip += "\"" + std::string(160, '.') + "\",";
    strip_ = strip;
    window_ = box_.application->Explorers()->Add(box_.Inbox());
    window_->Activate();
  }
  host::CommandBars& bars() { return window_->CommandBars(); }
  void Build() {
    BuildToolbar(bars(), strip_, [this](int id) { clicks_.push_back(id); });
    LoadToolbarState(bars(), registry_);
  }
  // The captions of the bar's visible buttons, in order.
  std::vector<std::string> Shown() {
    std::vector<std::string> shown;
    for (const auto& c : bars().Item("Quorvel")->Controls().all()) {
      if (c->visible) shown.push_back(c->caption);
    }
    return shown;
  }
  void Store(const char* name, platform::RegValue value) {
    registry_.CreateKey(platform::RegRoot::kCurrentUser, kSettingsKey);
    registry_.SetValue(platform::RegRoot::kCurrentUser, kSettingsKey, name, value);
  }
  Bytes Stored(const char* name) {
    platform::RegValue value;
    registry_.QueryValue(platform::RegRoot::kCurrentUser, kSettingsKey, name, &value);
    EXPECT_EQ(value.type, platform::REG_BINARY) << name;
    return value.data;
  }

  ui::ScriptedUi ui_;
  host::MemoryHost box_{ui_};
  platform::RegistryMemory registry_;
  std::string strip_;
  std::shared_ptr<host::Explorer> window_;
  std::vector<int> clicks_;
};

TEST_F(ToolbarTest, WithNoStoredValuesTheBarShowsItsDefaultButtonsMenuAndKeys) {
  Build();
  EXPECT_THAT(Shown(), ElementsAre("&Good E-mail", "&Junk E-mail", "&Test Message", "&Options"));
  auto good = bars().FindControl("Quorvel-Item-32775");
  ASSERT_NE(good, nullptr);
  EXPECT_EQ(good->tooltipText, "The message will be used as an example of good mail");
  EXPECT_EQ(good->shortcutText, "Ctrl+Alt+A");
  EXPECT_NE(good->face.find("\"16 16 1 1\""), std::string::npos);
  EXPECT_NE(good->face.find("c None"), std::string::npos);
  EXPECT_FALSE(bars().FindControl("Quorvel-Item-32781")->enabled);  // hidden and disabled
  good->Click();
  EXPECT_THAT(clicks_, ElementsAre(ui::kCmdGoodEmail));

  auto menu = bars().ActiveMenuBar()->Controls().Item(1);
  ASSERT_EQ(menu->caption, "&Quorvel");
  std::vector<std::string> items;
  for (const auto& item : menu->Controls().all()) {
    items.push_back((item->beginGroup ? "| " : "") + item->caption);
  }
  EXPECT_THAT(items, ElementsAre("&Good Email", "&Junk Email", "| &Test Message", "&Check Folder",
                                 "E&mpty Spam Folder", "| &Options...", "Customize tool&bar...",
                                 "| &Email to support...", "&Help"));
  std::vector<std::string> keys;
  for (const auto& k : bars().accelerators)
    keys.push_back(k.keys + "=" + std::to_string(k.command));
  EXPECT_THAT(keys, ElementsAre("Ctrl+Alt+D=32777", "Ctrl+Alt+E=32776", "Ctrl+Alt+F=32775",
                                "Ctrl+Alt+M=32782", "Ctrl+Alt+N=32781"));
  auto bar = bars().Item("Quorvel");
  EXPECT_EQ(bar->rowIndex, -1);
  EXPECT_EQ(bar->position, host::msoBarTop);
}

TEST_F(ToolbarTest, DamagedRecordsGiveTheDefaultsAndGoodOnesAreApplied) {
  struct Case {
    const char* what;
    platform::RegValue value;
  };
  const Case damaged[] = {
      {"9 bytes", platform::RegValue::Binary({1, 0, 0, 0, 0, 0, 0, 0, 7})},
      {"V > N", platform::RegValue::Binary({1, 0, 0, 0, 2, 0, 0, 0, 0x07, 0x80})},
      {"N larger than the buttons", platform::RegValue::Binary(ui::EncodeCustomization(
                                        {6, {32775, 32776, 32778, 32781, 32782, 32783}}))},
      {"not binary", platform::RegValue::Dword(5)},
  };
  for (const Case& c : damaged) {
    Store(kToolbarCustomizationValue, c.value);
    bars().Delete("Quorvel");
    bars().ActiveMenuBar()->Controls().Remove(bars().ActiveMenuBar()->Controls().Item(1));
    Build();
    EXPECT_THAT(Shown(), ElementsAre("&Good E-mail", "&Junk E-mail", "&Test Message", "&Options"))
        << c.what;
  }
  Store(kToolbarCustomizationValue, platform::RegValue::Binary(ui::EncodeCustomization(
                                        {2, {ui::kCmdEmptySpamFolder, ui::kCmdGoodEmail}})));
  Store(kToolbarPositionValue,
        platform::RegValue::Binary(ui::EncodePosition({250, 2, 3, 40, 50, 0})));
  bars().Delete("Quorvel");
  Build();
  EXPECT_THAT(Shown(), ElementsAre("E&mpty Spam Folder", "&Good E-mail", "&Options"));
  auto bar = bars().Item("Quorvel");
  EXPECT_EQ(bar->rowIndex, 2);
  EXPECT_EQ(bar->position, 3);
  EXPECT_FALSE(bar->visible);

  Store(kToolbarPositionValue, platform::RegValue::Binary(Bytes(23, 1)));  // not 24 bytes
  bars().Delete("Quorvel");
  Build();
  EXPECT_EQ(bars().Item("Quorvel")->position, host::msoBarTop);
  EXPECT_TRUE(bars().Item("Quorvel")->visible);
}

TEST_F(ToolbarTest, SavingWritesBothRecordsByteByByte) {
  Build();
  ASSERT_TRUE(ApplyToolbarCustomization(bars(), {2, {ui::kCmdCheckFolder, ui::kCmdGoodEmail}}));
  auto bar = bars().Item("Quorvel");
  bar->rowIndex = 1;
  bar->left = 300;
  ASSERT_EQ(SaveToolbarState(bars(), registry_), platform::ERROR_SUCCESS);
  EXPECT_EQ(Stored(kToolbarCustomizationValue), (Bytes{5, 0, 0, 0, 2, 0, 0, 0, 0x0D, 0x80, 0x07,
                                                       0x80, 0x08, 0x80, 0x0A, 0x80, 0x0E, 0x80}));
  EXPECT_EQ(Stored(kToolbarPositionValue),
            (Bytes{0xFA, 0, 0, 0, 1, 0, 0, 0, 1,    0,    0,    0,
                   0x2C, 1, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(ToolbarTest, TheCustomizeDialogAppliesAndSavesOnOkOnly) {
  Build();
  ui_.QueueDialog(ui::ScriptedUi::Press(platform::IDCANCEL));
  CustomizeToolbar(*box_.application, registry_);
  platform::RegValue none;
  EXPECT_NE(registry_.QueryValue(platform::RegRoot::kCurrentUser, kSettingsKey,
                                 kToolbarCustomizationValue, &none),
            platform::ERROR_SUCCESS);

  // Clearing every box leaves only Options, and says so in the record (V 0).
  ui_.QueueDialog([](ui::Dialog& d) {
    for (ui::Control& c : d.controls) {
      if (c.enabled) c.checked = false;
    }
    return platform::IDOK;
  });
  CustomizeToolbar(*box_.application, registry_);
  EXPECT_THAT(Shown(), ElementsAre("&Options"));
  const Bytes saved = Stored(kToolbarCustomizationValue);
  ASSERT_EQ(saved.size(), 18u);
  EXPECT_EQ(saved[4], 0);
  EXPECT_EQ(ui_.dialogs().back().title, "Toolbar Customization");
}

// A core that only says which marking commands reached it.
class MarkingCore final : public IQuorvel2 {
 public:
  explicit MarkingCore(std::vector<std::string>& log) : log_(log) {}
  HRESULT Initialize(host::Application*) override { return mapi::S_OK; }
  HRESULT Shutdown() override { return mapi::S_OK; }
  HRESULT ShowOptions() override { return mapi::S_OK; }
  HRESULT MarkAsGood(host::Explorer*) override { return Log("good"); }
  HRESULT MarkAsJunk(host::Explorer*) override { return Log("junk"); }
  HRESULT CheckFolder(host::Explorer*) override { return mapi::S_OK; }
  HRESULT TestMessage(host::Explorer*) override { return mapi::S_OK; }
  HRESULT EmailToSupport() override { return mapi::S_OK; }
  HRESULT DeleteSpam() override { return mapi::S_OK; }
  HRESULT PostStartupActions() override { return mapi::S_OK; }
  HRESULT InitialWizard() override { return mapi::S_OK; }

 private:
  HRESULT Log(std::string what) {
    log_.push_back(std::move(what));
    return mapi::S_OK;
  }
  std::vector<std::string>& log_;
};

// The add-in builds its toolbar when it starts on the window, its buttons and keys
// reach its commands, and it saves both records when it shuts down.
TEST_F(ToolbarTest, TheAddInBuildsItAtStartItsKeysActAndItIsSavedAtShutdown) {
  std::vector<std::string> log;
  AddInServices services;
  services.createCore = [&log] { return std::make_shared<MarkingCore>(log); };
  AttachToolbar(services, registry_, strip_);
  auto addIn = QVAddIn::Create(services);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  ASSERT_EQ(addIn->startState(), 1);
  ASSERT_NE(bars().Item("Quorvel"), nullptr);

  bars().FindControl("Quorvel-Item-32776")->Click();
  // Ctrl+Alt+F is Good E-mail (its shortcut text says Ctrl+Alt+A); Ctrl+Alt+D does nothing.
  for (const char* keys : {"Ctrl+Alt+F", "Ctrl+Alt+D"}) {
    for (const host::Accelerator& key : bars().accelerators) {
      if (key.keys == keys) addIn->OnCommand(key.command);
    }
  }
  EXPECT_THAT(log, ElementsAre("junk", "good"));

  platform::RegValue none;
  EXPECT_NE(registry_.QueryValue(platform::RegRoot::kCurrentUser, kSettingsKey,
                                 kToolbarCustomizationValue, &none),
            platform::ERROR_SUCCESS);
  addIn->OnDisconnection(host::ext_dm_HostShutdown);
  EXPECT_EQ(Stored(kToolbarCustomizationValue),
            ui::EncodeCustomization(ui::DefaultCustomization()));
  EXPECT_EQ(Stored(kToolbarPositionValue).size(), 24u);
  EXPECT_EQ(bars().Item("Quorvel"), nullptr);  // released with the add-in
}

}  // namespace
}  // namespace quorvel::outlook
