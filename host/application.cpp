#include "host/application.h"

namespace quorvel::host {
namespace {

// The presenter of the request that runs on this thread, and its application.
struct ThreadPresenter {
  const Application* application = nullptr;
  ui::Ui* presenter = nullptr;
};
thread_local ThreadPresenter threadPresenter;

}  // namespace

// Forwards every call to the presenter current at the time of the call.
class Application::RoutingUi final : public ui::Ui {
 public:
  explicit RoutingUi(Application& application) : application_(application) {}
  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    return application_.Current()->Show(text, caption, style);
  }
  std::int32_t Present(ui::Dialog& dialog) override {
    return application_.Current()->Present(dialog);
  }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override {
    return application_.Current()->BeginProgress(title);
  }
  void Notify(const std::string& title, const std::string& text) override {
    application_.Current()->Notify(title, text);
  }
  bool OpenUrl(const std::string& url) override { return application_.Current()->OpenUrl(url); }
  bool Interactive() const override { return application_.Current()->Interactive(); }

 private:
  Application& application_;
};

Application::Application(std::shared_ptr<NameSpace> session, ui::Ui& hostPresenter,
                         bool hasExplorers)
    : session_(std::move(session)),
      explorers_(hasExplorers ? std::make_unique<host::Explorers>() : nullptr),
      current_(std::shared_ptr<ui::Ui>(std::shared_ptr<ui::Ui>(), &hostPresenter)),
      routing_(std::make_unique<RoutingUi>(*this)) {}

Application::~Application() = default;

ui::Ui& Application::Presenter() { return *routing_; }

std::uint64_t Application::RaisePending(Interaction interaction,
                                        PendingInteractions::Clock::time_point deadline,
                                        PendingInteractions::Completion done) {
  if (PendingInteractions* pending = pending_.load()) {
    return pending->Raise(std::move(interaction), deadline, std::move(done));
  }
  if (done) done(InteractionAnswer{interaction.defaultAnswer, interaction.dialog, false});
  return 0;
}

bool Application::WithdrawPending(std::uint64_t id) {
  PendingInteractions* pending = pending_.load();
  return pending && id != 0 && pending->Withdraw(id);
}

std::shared_ptr<ui::Ui> Application::Current() {
  if (threadPresenter.application == this) {
    return std::shared_ptr<ui::Ui>(std::shared_ptr<ui::Ui>(), threadPresenter.presenter);
  }
  std::lock_guard lock(presenterMutex_);
  return current_;
}

Application::PresenterScope::PresenterScope(Application& application,
                                            std::shared_ptr<ui::Ui> presenter)
    : application_(application) {
  std::lock_guard lock(application_.presenterMutex_);
  previous_ = application_.current_;
  application_.current_ = std::move(presenter);
}

Application::PresenterScope::~PresenterScope() {
  std::lock_guard lock(application_.presenterMutex_);
  application_.current_ = std::move(previous_);
}

}  // namespace quorvel::host

namespace quorvel::host {

Application::ThreadPresenterScope::ThreadPresenterScope(Application& application, ui::Ui* presenter)
    : previousApplication_(threadPresenter.application),
      previousPresenter_(threadPresenter.presenter) {
  threadPresenter = {&application, presenter};
}

Application::ThreadPresenterScope::~ThreadPresenterScope() {
  threadPresenter = {previousApplication_, previousPresenter_};
}

}  // namespace quorvel::host
