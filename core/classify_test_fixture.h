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
#include "mapi/compressed_rtf.h"
#include "mapi/folder.h"
#include "mapi/html_encapsulation.h"
#include "mapi/memory/memory_session.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"

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
  std::string body = "Plain words of an ordinary message, nothing more to say about the weather.\r\n";
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

  // Saves a new message in the Inbox and opens it again, as the worker would.
  std::shared_ptr<mapi::Message> Deliver(const MessageSpec& spec) {
    auto created = inbox_->CreateMessage(mapi::memory::kDeliverAsNewMail);
    EXPECT_TRUE(created.ok());
    std::shared_ptr<mapi::Message> message = created.value;
    std::vector<mapi::PropValue> props;
    auto text = [&props](mapi::PropTag tag, const std::optional<std::string>& value) {
      if (value) props.push_back(mapi::PropValue::String8(tag, *value));
    };
    text(mapi::PR_MESSAGE_CLASS, spec.messageClass);
    text(mapi::PR_SUBJECT, spec.subject);
    text(mapi::PR_SENDER_EMAIL_ADDRESS, spec.senderAddress);
    text(mapi::PR_SENDER_NAME, spec.senderName);
    text(mapi::PR_DISPLAY_TO, spec.displayTo);
    text(mapi::PR_RECEIVED_BY_EMAIL_ADDRESS, spec.receivedBy);
    text(mapi::PR_TRANSPORT_MESSAGE_HEADERS, spec.headers);
    if (spec.htmlBody) {
      props.push_back(mapi::PropValue::Bin(mapi::PR_RTF_COMPRESSED,
                                           mapi::CompressRtf(mapi::EncapsulateHtml(spec.body))));
    } else {
      props.push_back(mapi::PropValue::String8(mapi::PR_BODY, spec.body));
      props.push_back(mapi::PropValue::Bin(mapi::PR_RTF_COMPRESSED,
                                           mapi::CompressRtf(mapi::PlainTextToRtf(spec.body))));
    }
    if (spec.messageFlags) {
      props.push_back(mapi::PropValue::Long(mapi::PR_MESSAGE_FLAGS, *spec.messageFlags));
    }
    EXPECT_EQ(message->SetProps(props), mapi::S_OK);
    if (!spec.recipients.empty()) {
      mapi::RowSet rows;
      for (const auto& [address, name] : spec.recipients) {
        rows.push_back({mapi::PropValue::Long(mapi::PR_RECIPIENT_TYPE, mapi::MAPI_TO),
                        mapi::PropValue::String8(mapi::PR_EMAIL_ADDRESS, address),
                        mapi::PropValue::String8(mapi::PR_DISPLAY_NAME, name)});
      }
      EXPECT_EQ(message->ModifyRecipients(0, rows), mapi::S_OK);
    }
    for (const AttachmentSpec& a : spec.attachments) {
      auto attach = message->CreateAttach(0);
      EXPECT_TRUE(attach.ok());
      const std::array<mapi::PropValue, 2> values = {
          mapi::PropValue::String8(mapi::PR_ATTACH_LONG_FILENAME, a.longName),
          mapi::PropValue::Long(mapi::PR_ATTACH_FLAGS, a.attachFlags)};
      EXPECT_EQ(attach.value->SetProps(values), mapi::S_OK);
      EXPECT_EQ(attach.value->SaveChanges(0), mapi::S_OK);
    }
    EXPECT_EQ(message->SaveChanges(mapi::KEEP_OPEN_READWRITE), mapi::S_OK);
    lastId_ = IdOf(*message);
    return Reopen(lastId_);
  }

  std::shared_ptr<mapi::Message> Reopen(const mapi::EntryId& id) {
    auto opened = session_->OpenEntry(id, mapi::MAPI_BEST_ACCESS);
    EXPECT_TRUE(opened.ok());
    return opened.ok() ? opened.value.As<mapi::Message>() : nullptr;
  }

  static mapi::EntryId IdOf(mapi::Message& message) {
    const std::array<mapi::PropTag, 1> tags = {mapi::PR_ENTRYID};
    auto values = message.GetProps(tags);
    return values.ok() ? values.value[0].AsEntryId() : mapi::EntryId();
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
