#include "host/protocol.h"

#include <gtest/gtest.h>

namespace quorvel::host::protocol {
namespace {

std::string Body(const Message& m) { return Encode(m).substr(4); }

// The format other programs speak: these texts are what docs/protocol.md shows.
TEST(ProtocolTest, MessagesEncodeToTheDocumentedText) {
  struct Case {
    Message message;
    std::string text;
  };
  const Case cases[] = {
      {Hello{2, 0, "quorvel 0.1.0", {"run"}, ""},
       R"({"capabilities":["run"],"protocol":[2,0],"software":"quorvel 0.1.0","type":"hello"})"},
      {RunRequest{7, {"quorvel", "classify", "-"}, "/home/u", true, false, true},
       R"({"argv":["quorvel","classify","-"],"cwd":"/home/u","id":7,"interactive":true,)"
       R"("standardInput":true,"type":"run","yes":false})"},
      {StatusRequest{3}, R"({"id":3,"type":"status"})"},
      {Output{7, 2, "x\n"}, R"({"id":7,"stream":"err","text":"x\n","type":"output"})"},
      {Done{7, 1, Outcome::Of(OutcomeCode::kCancelled, "the command was cancelled")},
       R"({"code":"cancelled","id":7,"message":"the command was cancelled","status":1,"type":"done"})"},
      {Event{"spam-moved", {{"subject", "Hi"}}},
       R"({"event":"spam-moved","subject":"Hi","type":"event"})"},
      {FolderList{4, {{"00ab", "Inbox", "Inbox", 2}}},
       R"({"folders":[{"id":"00ab","items":2,"name":"Inbox","path":"Inbox"}],"id":4,"type":"folders"})"},
      {ListPendingRequest{5}, R"({"id":5,"type":"list-pending"})"},
      {PendingList{5, {{3, "message-box", "Quorvel", true}}},
       R"({"id":5,"pending":[{"kind":"message-box","pending":3,"taken":true,"title":"Quorvel"}],)"
       R"("type":"pending-list"})"},
      {TakePending{6, 3}, R"({"id":6,"pending":3,"type":"take-pending"})"},
      {Error{0, Outcome::Of(OutcomeCode::kBusy, "later")},
       R"({"code":"busy","id":0,"message":"later","type":"error"})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Body(c.message), c.text);
    const std::string frame = Encode(c.message);
    EXPECT_EQ(static_cast<unsigned char>(frame[0]), c.text.size() & 0xFF);
  }
}

TEST(ProtocolTest, PendingMessagesRoundTripAndABadListIsRefused) {
  auto d = Decode(
      R"({"type":"pending-list","id":2,"pending":[{"pending":9,"kind":"dialog","title":"T","x":1}]})");
  ASSERT_EQ(d.kind, Decoded::kMessage) << d.error;
  const auto& list = std::get<PendingList>(d.message);
  ASSERT_EQ(list.pending.size(), 1u);
  EXPECT_EQ(list.pending[0].pending, 9u);
  EXPECT_EQ(list.pending[0].kind, "dialog");
  EXPECT_FALSE(list.pending[0].taken);

  d = Decode(R"({"type":"take-pending","id":4,"pending":9})");
  ASSERT_EQ(d.kind, Decoded::kMessage) << d.error;
  EXPECT_EQ(std::get<TakePending>(d.message).pending, 9u);

  for (const char* bad : {R"({"type":"pending-list","id":2,"pending":{"pending":9}})",
                          R"({"type":"pending-list","id":2,"pending":[{"pending":"nine"}]})",
                          R"({"type":"take-pending","id":4,"pending":-1})"}) {
    EXPECT_EQ(Decode(bad).kind, Decoded::kMalformed) << bad;
  }
}

TEST(ProtocolTest, FixedTextsDecodeAndUnknownFieldsAreSkipped) {
  auto d = Decode(
      R"({"type":"run","id":9,"argv":["quorvel","lists","export"],"cwd":"/w","future":{"x":1}})");
  ASSERT_EQ(d.kind, Decoded::kMessage) << d.error;
  const auto& run = std::get<RunRequest>(d.message);
  EXPECT_EQ(run.id, 9u);
  EXPECT_EQ(run.argv[2], "export");
  EXPECT_EQ(run.cwd, "/w");
  EXPECT_FALSE(run.standardInput);

  d = Decode(R"({"type":"status","id":1,"profile":"p","state":"ready","pid":4,"judged":12})");
  ASSERT_EQ(d.kind, Decoded::kMessage) << d.error;
  EXPECT_EQ(std::get<Status>(d.message).judged, 12u);
  EXPECT_TRUE(std::get<Status>(d.message).stores.empty());  // an older host's status

  // The stores' connections and the queue travel and come back the same.
  Status status{6, "p", 4, 100, "ready"};
  status.queued = 3;
  status.stores = {{"imaps://me@mail.example", "reconnecting", 1700, "connection refused"},
                   {"imaps://b@two.example", "connected", 1600, ""}};
  d = Decode(Body(status));
  ASSERT_EQ(d.kind, Decoded::kMessage) << d.error;
  const Status& back = std::get<Status>(d.message);
  EXPECT_EQ(back.queued, 3u);
  ASSERT_EQ(back.stores.size(), 2u);
  EXPECT_EQ(back.stores[0].store, "imaps://me@mail.example");
  EXPECT_EQ(back.stores[0].state, "reconnecting");
  EXPECT_EQ(back.stores[0].since, 1700);
  EXPECT_EQ(back.stores[0].error, "connection refused");
  EXPECT_EQ(back.stores[1].state, "connected");

  // A newer minor's message type is told apart from a broken one.
  d = Decode(R"({"type":"list-widgets","id":5})");
  EXPECT_EQ(d.kind, Decoded::kUnknown);
  EXPECT_EQ(d.type, "list-widgets");
  EXPECT_EQ(d.id, 5u);

  d = Decode(R"({"type":"done","id":2,"status":0,"code":"teleported"})");
  ASSERT_EQ(d.kind, Decoded::kMessage);
  EXPECT_EQ(std::get<Done>(d.message).outcome.code, OutcomeCode::kFailed);
}

TEST(ProtocolTest, MalformedBodiesAreRefusedWithAReason) {
  const std::string deep = std::string(40, '[') + std::string(40, ']');
  const std::string cases[] = {
      "",
      "{",
      "[1,2]",
      R"({"id":1})",
      R"({"type":7})",
      R"({"type":"run","id":-1})",
      R"({"type":"run","id":1,"argv":"quorvel"})",
      R"({"type":"run","id":1,"argv":[1]})",
      R"({"type":"hello","protocol":[2]})",
      R"({"type":"output","id":1,"stream":"tty"})",
      R"({"type":"answer","id":1,"question":1,"controls":[{"kind":7}]})",
      R"({"type":"answer","id":1,"question":1,"otherPages":{"page":"a"}})",
      R"({"type":"answer","id":1,"question":1,"otherPages":[{"page":"a"}]})",
      R"({"type":"answer","id":1,"question":1,"otherPages":[{"page":3,"controls":[]}]})",
      R"({"type":"answer","id":1,"question":1,"otherPages":[7]})",
      R"({"type":"dialog","id":1,"question":1})",
      R"({"type":"status","id":1,"profile":"p","pid":"12"})",
      R"({"type":"status","id":1,"profile":"p","stores":{"store":"x"}})",
      R"({"type":"status","id":1,"profile":"p","stores":[{"store":"x","since":"yesterday"}]})",
      R"({"type":"event","event":"x","a":)" + deep + "}",
      "{\"type\":\"notice\",\"text\":\"\xff\"}",
  };
  for (const std::string& body : cases) {
    Decoded d = Decode(body);
    EXPECT_EQ(d.kind, Decoded::kMalformed) << body;
    EXPECT_FALSE(d.error.empty()) << body;
  }
}

TEST(ProtocolTest, ADialogTravelsWithEveryFieldAndComesBackTheSame) {
  DialogRequest request{4, 2, {}};
  ui::Dialog& d = request.dialog;
  d.kind = "confirm";
  d.title = "Junk E-mail";
  d.headline = "Mark?";
  d.controls.push_back({.kind = ui::ControlKind::kList,
                        .id = "senders",
                        .label = "Senders",
                        .enabled = false,
                        .selected = 1,
                        .columns = {"Name", "Address"},
                        .rows = {{"A", "a@x"}, {"B", "b@x"}},
                        .rowChecked = {true, false}});
  d.controls.push_back({.kind = ui::ControlKind::kTextBox,
                        .id = "note",
                        .multiline = true,
                        .readOnly = true,
                        .text = "x"});
  d.controls.push_back({.kind = ui::ControlKind::kChoice, .options = {"a", "b"}});
  d.buttons = {{1, "&OK"}, {2, "Cancel"}};
  d.defaultButton = 2;
  d.cancelButton = 7;
  d.affirmativeButton = 6;
  Decoded back = Decode(Body(request));
  ASSERT_EQ(back.kind, Decoded::kMessage) << back.error;
  EXPECT_EQ(Body(back.message), Body(request));
  const auto& again = std::get<DialogRequest>(back.message).dialog;
  EXPECT_EQ(again.controls[0].rowChecked, (std::vector<bool>{true, false}));
  EXPECT_FALSE(again.controls[0].enabled);
  EXPECT_TRUE(again.controls[1].readOnly);
  EXPECT_EQ(again.controls[2].kind, ui::ControlKind::kChoice);
  EXPECT_EQ(again.cancelButton, 7);
}

TEST(ProtocolTest, TextsThatAreNoUtf8TravelReplacedInsteadOfFailing) {
  Decoded d = Decode(Body(Notice{1, "T", "caf\xe9"}));
  ASSERT_EQ(d.kind, Decoded::kMessage) << d.error;
  EXPECT_EQ(std::get<Notice>(d.message).text, "caf\xef\xbf\xbd");
}

TEST(ProtocolTest, AFirstProtocolClientIsToldInItsOwnTerms) {
  // The first protocol's run request: tag 0, then binary fields.
  EXPECT_TRUE(IsFirstProtocolBody(std::string("\x00\x01\x00\x00\x00", 5)));
  EXPECT_FALSE(IsFirstProtocolBody(R"({"type":"hello"})"));
  const std::string frame = FirstProtocolRefusal("restart");
  EXPECT_EQ(frame, std::string("\x0c\x00\x00\x00\x0c\x07\x00\x00\x00restart", 16));
}

}  // namespace
}  // namespace quorvel::host::protocol
