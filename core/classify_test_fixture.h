// Test ground for the classifier: an in-memory store with an Inbox, the live
// settings, scripted message boxes, a fake clock and a mail base in a temporary
// folder, and a way to deliver a message described field by field.
#ifndef QUORVEL_CORE_CLASSIFY_TEST_FIXTURE_H_
#define QUORVEL_CORE_CLASSIFY_TEST_FIXTURE_H_

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bayes/mailbase.h"
#include "bayes/token_corpus.h"
#include "core/classifier.h"
#include "mapi/folder.h"
#include "mapi/memory/memory_session.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"
#include "testing/message_builder.h"

namespace quorvel::testing_support {

struct AttachmentSpec {
  std::string longName;
  std::int32_t attachFlags = 0;
};

// One message as the tests describe it. Unset texts are absent properties.
struct MessageSpec {
  std::optional<std::string> messageClass = "IPM.Note";
  std::optional<std::string> subject;
  std::optional<std::string> senderAddress = "someone@elsewhere.example";
  std::optional<std::string> senderName = "Someone";
  std::optional<std::string> displayTo = "Me Myself";
  std::optional<std::string> receivedBy = "me@home.example";
  std::optional<std::string> headers;
  std::string body =
      "Plain words of an ordinary message, nothing more to say about the weather.\r\n";
  bool htmlBody = false;  // `body` is HTML, carried inside the RTF body
  std::optional<std::int32_t> messageFlags;
  std::vector<std::pair<std::string, std::string>> recipients;  // address, name
  std::vector<AttachmentSpec> attachments;
};

class ClassifyFixture : public ::testing::Test {
 protected:
  ClassifyFixture()
      : session_(mapi::memory::MemorySession::Create()),
        layout_(session_->AddStore({.isDefault = true})),
        folder_(MakeTempFolder()),
        mailbase_(boxes_, folder_, folder_) {
    inbox_ = session_->OpenEntry(layout_.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  }

  ~ClassifyFixture() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  ClassifyContext Context() { return ClassifyContext{settings_, mailbase_, boxes_, clock_}; }

  // Delivers a new message to the Inbox and opens it again, as the worker would.
  std::shared_ptr<mapi::Message> Deliver(const MessageSpec& spec) {
    MessageBuilder builder;
    auto text = [&builder](mapi::PropTag tag, const std::optional<std::string>& value) {
      if (value) builder.Prop(mapi::PropValue::String8(tag, *value));
    };
    text(mapi::PR_SUBJECT, spec.subject);
    text(mapi::PR_SENDER_EMAIL_ADDRESS, spec.senderAddress);
    text(mapi::PR_SENDER_NAME, spec.senderName);
    text(mapi::PR_RECEIVED_BY_EMAIL_ADDRESS, spec.receivedBy);
    text(mapi::PR_TRANSPORT_MESSAGE_HEADERS, spec.headers);
    if (spec.messageClass) builder.Class(*spec.messageClass);
    if (spec.displayTo) builder.DisplayTo(*spec.displayTo);
    if (spec.htmlBody) {
      builder.HtmlBody(spec.body);
    } else {
      builder.Body(spec.body).TextRtfBody(spec.body);
    }
    if (spec.messageFlags) builder.Flags(static_cast<std::uint32_t>(*spec.messageFlags));
    for (const auto& [address, name] : spec.recipients) builder.To(name, address);
    for (const AttachmentSpec& a : spec.attachments) {
      builder.Attachment(a.longName, static_cast<std::uint32_t>(a.attachFlags));
    }
    mapi::Result<mapi::EntryId> id = builder.DeliverTo(*inbox_);
    EXPECT_TRUE(id.ok());
    lastId_ = id.value;
    std::shared_ptr<mapi::Message> message = Reopen(lastId_);
    if (!spec.messageClass && message) {
      const std::array<mapi::PropTag, 1> classTag = {mapi::PR_MESSAGE_CLASS};
      EXPECT_EQ(message->DeleteProps(classTag), mapi::S_OK);
      EXPECT_EQ(message->SaveChanges(mapi::KEEP_OPEN_READWRITE), mapi::S_OK);
      message = Reopen(lastId_);
    }
    return message;
  }

  std::shared_ptr<mapi::Message> Reopen(const mapi::EntryId& id) {
    auto opened = session_->OpenEntry(id, mapi::MAPI_BEST_ACCESS);
    EXPECT_TRUE(opened.ok());
    return opened.ok() ? opened.value.As<mapi::Message>() : nullptr;
  }

  Verdict Judge(const MessageSpec& spec, ClassifyFlags flags = kStandardFlags) {
    return Classifier(Context()).Judge(Deliver(spec), flags);
  }

  // A probability table in which every word of `spamWords` has 0.99 and every word of
  // `goodWords` 0.01, saved so that the table counts as loaded.
  void CompileTable(const std::vector<std::u16string>& goodWords,
                    const std::vector<std::u16string>& spamWords) {
    TokenCorpus good;
    TokenCorpus junk;
    for (const auto& w : goodWords) good.Add(w, 10);
    for (const auto& w : spamWords) junk.Add(w, 10);
    good.set_messageCount(10);
    junk.set_messageCount(10);
    mailbase_.table().Compile(good, junk);
    mailbase_.table().Save();
  }

  int GoodMessagesLearned() {
    return mailbase_.store().PendingPair().Half(CorpusPair::kGood).messageCount();
  }

  static std::string MakeTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-classify-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    return pattern + "/";
  }

  std::shared_ptr<mapi::memory::MemorySession> session_;
  mapi::memory::StoreLayout layout_;
  std::shared_ptr<mapi::Folder> inbox_;
  std::string folder_;
  SettingsHolder settings_;
  platform::ScriptedMessageBoxes boxes_;
  platform::FakeClock clock_;
  Mailbase mailbase_;
  mapi::EntryId lastId_;
};

}  // namespace quorvel::testing_support

#endif  // QUORVEL_CORE_CLASSIFY_TEST_FIXTURE_H_
