#include "outlook/core_services.h"

#include <gtest/gtest.h>

#include "host/memory_host.h"
#include "platform/registry_memory.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

TEST(CoreServicesTest, TheAddInStartsTheCoreOffersTheWizardAndForgetsGoodSeen) {
  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  auto process = std::make_shared<AddInProcess>(AddInEnvironment{registry, clock, ui, "", ""});
  host::MemoryHost box(ui);
  std::vector<std::string> log;
  AddInServices services;
  AttachCore(services, process, [&log](CoreOptions& o) {
    o.log = [&log](const std::string& line) { log.push_back(line); };
  });

  auto window = box.application->Explorers()->Add(box.Inbox());
  window->Activate();
  auto addIn = QVAddIn::Create(services);
  addIn->OnConnection(*box.application, host::ext_cm_AfterStartup);
  ASSERT_EQ(addIn->startState(), 1);
  auto* core = dynamic_cast<QVCore*>(addIn->core());
  ASSERT_NE(core, nullptr);
  EXPECT_TRUE(core->initialized());
  // Without a data folder the mail base does not load: the wizard says so and stays
  // due, and the start-up actions wait for it.
  EXPECT_EQ(process->settings().Lock()->showWizard, 1u);
  EXPECT_TRUE(services.wizardPending());
  bool told = false;
  for (const std::string& text : ui.texts()) {
    told = told || text.find("Could not load spam mail base.") != std::string::npos;
  }
  EXPECT_TRUE(told);

  process->goodSeen() = true;
  window->Select(host::Selection());
  EXPECT_FALSE(process->goodSeen());

  // Options opens the options sheet through the application's presenter, on the
  // page shown last.
  process->settings().Lock()->lastOptionsPage = 4;
  bool shown = false;
  ui.QueueDialog([&shown](ui::Dialog& page) {
    shown = page.kind == "options" && page.Find("safe-recipients-rows") != nullptr;
    return platform::IDCANCEL;
  });
  addIn->OnCommand(kCmdOptions);
  EXPECT_TRUE(shown);
  EXPECT_EQ(process->settings().Lock()->lastOptionsPage, 4u);

  // One client extension per process.
  auto factory = ClientExtensionFactory(process);
  EXPECT_EQ(factory(), factory());
  addIn->OnDisconnection(host::ext_dm_HostShutdown);
  EXPECT_EQ(addIn->core(), nullptr);
}

}  // namespace
}  // namespace quorvel::outlook
