// Speed of the whole rule chain on one message from an in-memory store: the message
// is opened, wrapped in a record, and judged with the worker's flag word against
// realistic lists (1,000 entries each, patterns, dictionaries) and a probability
// table of 20,000 tokens. One case ends at the White List, one in the Bayesian
// filter with an HTML body of about 6 KB.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <vector>

#include "bayes/mailbase.h"
#include "bayes/token_corpus.h"
#include "core/classifier.h"
#include "lists/contact.h"
#include "mapi/compressed_rtf.h"
#include "mapi/folder.h"
#include "mapi/html_encapsulation.h"
#include "mapi/memory/memory_session.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"

namespace quorvel {
namespace {

std::string NewsHtml() {
  std::string html = "<html><body><p>Weekly news for our readers</p>\r\n";
  for (int i = 0; html.size() < 6000; ++i) {
    const std::string n = std::to_string(i);
    html += "<p>Item " + n +
            ": the garden centre opens a new section with seasonal plants, "
            "read <a href=\"http://news.example.com/a/" +
            n + "\">more here</a></p>\r\n";
  }
  return html + "</body></html>\r\n";
}

struct Ground {
  std::shared_ptr<mapi::memory::MemorySession> session = mapi::memory::MemorySession::Create();
  mapi::memory::StoreLayout layout = session->AddStore({.isDefault = true});
  SettingsHolder settings;
  platform::ScriptedMessageBoxes boxes;
  platform::FakeClock clock;
  Mailbase mailbase{boxes};

  Ground() {
    SettingsHolder::Locked live = settings.Lock();
    for (int i = 0; i < 1000; ++i) {
      const std::string n = std::to_string(i);
      live->whiteList.AddAddress(MakeContact("friend" + n + "@white" + n + ".example"), "", 1);
      live->blackList.AddAddress(MakeContact("spammer" + n + "@black" + n + ".example"), "", 1);
      live->safeRecipients.AddAddress(MakeContact("list" + n + "@lists.example"), "", 1);
      live->sentSubjs.AddAddress(MakeContact("Subject number " + n), "", 1);
      live->sentFromNames.AddAddress(MakeContact("Name " + n), "", 1);
    }
    for (int i = 0; i < 20; ++i) {
      const std::string n = std::to_string(i);
      live->whiteListWildcards.Insert("*@partner" + n + ".example");
      live->blackListWildcards.Insert("promo" + n + "*@*");
      live->customGoodDictionary.Insert("project code " + n);
      live->customSpamDictionary.Insert("special offer " + n);
    }
    TokenCorpus good;
    TokenCorpus junk;
    for (int i = 0; i < 20000; ++i) {
      std::u16string token = u"token";
      for (char c : std::to_string(i)) token += static_cast<char16_t>(u'a' + (c - '0'));
      (i % 2 ? junk : good).Add(token, 10);
    }
    for (std::u16string_view w :
         {u"weekly", u"news", u"our", u"readers", u"item", u"the", u"garden", u"centre", u"opens",
          u"new", u"section", u"with", u"seasonal", u"plants", u"read", u"more", u"here"}) {
      good.Add(w, 50);
    }
    good.set_messageCount(100);
    junk.set_messageCount(100);
    mailbase.table().Compile(good, junk);
    mailbase.table().Save();  // counts as loaded (the path is empty: nothing is written)
  }

  mapi::EntryId Deliver(const std::string& sender, const std::string& html) {
    auto inbox = session->OpenEntry(layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
    std::shared_ptr<mapi::Message> message =
        inbox->CreateMessage(mapi::memory::kDeliverAsNewMail).value;
    const std::vector<mapi::PropValue> props = {
        mapi::PropValue::String8(mapi::PR_MESSAGE_CLASS, "IPM.Note"),
        mapi::PropValue::String8(mapi::PR_SUBJECT, "Weekly news"),
        mapi::PropValue::String8(mapi::PR_SENDER_EMAIL_ADDRESS, sender),
        mapi::PropValue::String8(mapi::PR_SENDER_NAME, "News Desk"),
        mapi::PropValue::String8(mapi::PR_DISPLAY_TO, "Reader"),
        mapi::PropValue::String8(mapi::PR_RECEIVED_BY_EMAIL_ADDRESS, "reader@home.example"),
        mapi::PropValue::String8(mapi::PR_TRANSPORT_MESSAGE_HEADERS,
                                 "Received: from mx.example by mx.home.example\r\n"),
        mapi::PropValue::Bin(mapi::PR_RTF_COMPRESSED,
                             mapi::CompressRtf(mapi::EncapsulateHtml(html)))};
    message->SetProps(props);
    const mapi::RowSet rows = {
        {mapi::PropValue::Long(mapi::PR_RECIPIENT_TYPE, mapi::MAPI_TO),
         mapi::PropValue::String8(mapi::PR_EMAIL_ADDRESS, "reader@home.example"),
         mapi::PropValue::String8(mapi::PR_DISPLAY_NAME, "Reader")}};
    message->ModifyRecipients(0, rows);
    message->SaveChanges(0);
    const std::array<mapi::PropTag, 1> tags = {mapi::PR_ENTRYID};
    return message->GetProps(tags).value[0].AsEntryId();
  }

  void Run(benchmark::State& state, const mapi::EntryId& id, bool expectSpam) {
    const Classifier classifier(ClassifyContext{settings, mailbase, boxes, clock});
    std::string reason;
    for (auto _ : state) {
      auto message = session->OpenEntry(id, mapi::MAPI_BEST_ACCESS)->As<mapi::Message>();
      const bool spam = classifier.Classify(message, &reason, kStandardFlags);
      if (spam != expectSpam) state.SkipWithError(reason.c_str());
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
};

void BM_ClassifyWhiteListed(benchmark::State& state) {
  Ground ground;
  ground.Run(state, ground.Deliver("friend500@white500.example", NewsHtml()), false);
}
BENCHMARK(BM_ClassifyWhiteListed);

void BM_ClassifyThroughBayes(benchmark::State& state) {
  Ground ground;
  ground.Run(state, ground.Deliver("news@unknown.example", NewsHtml()), false);
}
BENCHMARK(BM_ClassifyThroughBayes);

}  // namespace
}  // namespace quorvel
