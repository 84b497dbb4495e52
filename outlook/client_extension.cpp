#include "outlook/client_extension.h"

#include <string>

#include "mapi/queries.h"
#include "outlook/folder_kind_cache.h"
#include "platform/string_table.h"

namespace quorvel::outlook {

bool CheckEnvironment(mapi::Session& session) {
  auto table = session.GetMsgStoresTable(0);
  if (!table.ok()) return false;
  const mapi::PropTag columns[] = {mapi::PR_DEFAULT_STORE};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return false;
  for (const mapi::Row& row : *rows) {
    if (row.size() != 1 || row[0].tag != mapi::PR_DEFAULT_STORE || !row[0].AsBoolean()) {
      return false;
    }
    if (*row[0].AsBoolean()) return true;
  }
  return false;
}

mapi::HRESULT QVClientExtension::Install(host::ExchExtCallback& callback, std::uint32_t context,
                                         std::uint32_t) {
  if (context != host::EECONTEXT_SESSION && context != host::EECONTEXT_SENDNOTEMESSAGE &&
      context != host::EECONTEXT_SENDPOSTMESSAGE && context != host::EECONTEXT_SENDRESENDMESSAGE) {
    return mapi::S_FALSE;
  }
  auto version = callback.GetVersion(host::EECBGV_GETBUILDVERSION);
  if (!version.ok() || (*version >> 16) != kRequiredBuildMajor) return mapi::S_FALSE;
  auto session = callback.GetSession();
  if (!session.ok() || !*session) return mapi::S_FALSE;
  if (!CheckEnvironment(**session)) {
    messageBoxes_.Show("Error in CheckEnviroment", std::string(platform::kProductName),
                       platform::MB_OK | platform::MB_ICONWARNING);
    return mapi::S_FALSE;
  }
  return mapi::S_OK;
}

mapi::HRESULT QVClientExtension::OnDelivery(host::ExchExtCallback& callback) {
  auto object = callback.GetObject();
  if (!object.ok() || !object->store || !object->message) return mapi::S_FALSE;
  auto provider = mapi::HrGetOneProp(*object->store, mapi::PR_MDB_PROVIDER);
  if (!provider.ok() || !provider->AsBinary() ||
      !mapi::IsExchangeProvider(provider->AsBinary()->bytes)) {
    return mapi::S_FALSE;
  }
  const mapi::PropTag tags[] = {mapi::PR_ENTRYID, mapi::PR_PARENT_ENTRYID};
  auto props = object->message->GetProps(tags);
  if (!props.ok()) return mapi::S_FALSE;
  mapi::EntryId id = mapi::GetEntryId(*props, mapi::PR_ENTRYID);
  mapi::EntryId parent = mapi::GetEntryId(*props, mapi::PR_PARENT_ENTRYID);
  if (id.present() && parent.present()) queue_.Enqueue(parent, id, kOriginDelivery);
  return mapi::S_FALSE;
}

mapi::HRESULT QVClientExtension::OnWriteComplete(host::ExchExtCallback& callback,
                                                 std::uint32_t flags) {
  if (flags != 0) return mapi::S_FALSE;
  std::vector<SentRecipient> recipients;
  if (auto table = callback.GetRecipients(); table.ok() && *table) {
    const mapi::PropTag columns[] = {mapi::PR_DISPLAY_NAME, mapi::PR_DISPLAY_NAME_W,
                                     mapi::PR_EMAIL_ADDRESS, mapi::PR_EMAIL_ADDRESS_W};
    if (auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt); rows.ok()) {
      recipients = SentMailRecorder::RecipientsOf(*rows);
    }
  }
  std::string subject;
  if (auto object = callback.GetObject(); object.ok() && object->message) {
    auto value = mapi::HrGetOneProp(*object->message, mapi::PR_SUBJECT);
    if (value.ok() && value->AsString8()) subject = *value->AsString8();
  }
  recorder_.RecordWrite(recipients, subject);
  return mapi::S_FALSE;
}

}  // namespace quorvel::outlook
