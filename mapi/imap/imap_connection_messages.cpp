#include <libetpan/libetpan.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_stream.h"
#include "mapi/mime/input_bounds.h"

namespace quorvel::mapi::imap {
namespace {

std::string FlagText(const struct mailimap_flag* flag) {
  switch (flag->fl_type) {
    case MAILIMAP_FLAG_ANSWERED:
      return "\\Answered";
    case MAILIMAP_FLAG_FLAGGED:
      return "\\Flagged";
    case MAILIMAP_FLAG_DELETED:
      return "\\Deleted";
    case MAILIMAP_FLAG_SEEN:
      return "\\Seen";
    case MAILIMAP_FLAG_DRAFT:
      return "\\Draft";
    case MAILIMAP_FLAG_KEYWORD:
      return flag->fl_data.fl_keyword ? flag->fl_data.fl_keyword : "";
    case MAILIMAP_FLAG_EXTENSION:
      return flag->fl_data.fl_extension ? std::string("\\") + flag->fl_data.fl_extension : "";
    default:
      return "";
  }
}

struct mailimap_flag* NewFlag(const std::string& text) {
  if (text == "\\Seen") return mailimap_flag_new_seen();
  if (text == "\\Deleted") return mailimap_flag_new_deleted();
  if (text == "\\Draft") return mailimap_flag_new_draft();
  if (text == "\\Answered") return mailimap_flag_new_answered();
  if (text == "\\Flagged") return mailimap_flag_new_flagged();
  return mailimap_flag_new_flag_keyword(strdup(text.c_str()));
}

struct mailimap_flag_list* NewFlagList(const std::vector<std::string>& flags) {
  struct mailimap_flag_list* list = mailimap_flag_list_new_empty();
  for (const std::string& f : flags) mailimap_flag_list_add(list, NewFlag(f));
  return list;
}

std::int64_t UnixTime(const struct mailimap_date_time* t) {
  std::tm tm{};
  tm.tm_year = t->dt_year - 1900;
  tm.tm_mon = t->dt_month - 1;
  tm.tm_mday = t->dt_day;
  tm.tm_hour = t->dt_hour;
  tm.tm_min = t->dt_min;
  tm.tm_sec = t->dt_sec;
  std::int64_t utc = static_cast<std::int64_t>(timegm(&tm));
  int zone = t->dt_zone;  // +hhmm as a number
  int sign = zone < 0 ? -1 : 1;
  zone *= sign;
  return utc - sign * ((zone / 100) * 3600 + (zone % 100) * 60);
}

std::optional<std::uint32_t> FirstOf(struct mailimap_set* set) {
  if (set == nullptr || clist_begin(set->set_list) == nullptr) return std::nullopt;
  auto* item = static_cast<struct mailimap_set_item*>(clist_content(clist_begin(set->set_list)));
  return item->set_first;
}

}  // namespace

bool MessageSummary::HasFlag(std::string_view flag) const {
  for (const std::string& f : flags) {
    if (f.size() == flag.size() && strncasecmp(f.data(), flag.data(), f.size()) == 0) return true;
  }
  return false;
}

bool ImapConnection::Fetch(std::uint32_t first, std::uint32_t last, bool withHeader, bool whole,
                           std::vector<MessageSummary>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "FETCH", error);
  struct mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_uid());
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_flags());
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_rfc822_size());
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_internaldate());
  if (whole) {
    // At most what a message file is read to: a larger message is judged on its start,
    // as on a Maildir, rather than failing the response bound and never being judged.
    mailimap_fetch_type_new_fetch_att_list_add(
        type, mailimap_fetch_att_new_body_peek_section_partial(
                  mailimap_section_new(nullptr), 0, static_cast<uint32_t>(kMaxMessageBytes)));
  } else if (withHeader) {
    mailimap_fetch_type_new_fetch_att_list_add(
        type, mailimap_fetch_att_new_body_peek_section(mailimap_section_new_header()));
  }
  struct mailimap_set* set = mailimap_set_new_interval(first, last);
  clist* result = nullptr;
  impl_->StartCommand();
  int r = mailimap_uid_fetch(impl_->imap, set, type, &result);
  mailimap_set_free(set);
  mailimap_fetch_type_free(type);
  Owned<clist, mailimap_fetch_list_free> owned{result};
  if (!Check(r, "FETCH", error)) return false;
  out->clear();
  for (clistiter* it = clist_begin(result); it != nullptr; it = clist_next(it)) {
    auto* att = static_cast<struct mailimap_msg_att*>(clist_content(it));
    MessageSummary m;
    for (clistiter* i = clist_begin(att->att_list); i != nullptr; i = clist_next(i)) {
      auto* item = static_cast<struct mailimap_msg_att_item*>(clist_content(i));
      if (item->att_type == MAILIMAP_MSG_ATT_ITEM_DYNAMIC) {
        struct mailimap_msg_att_dynamic* dyn = item->att_data.att_dyn;
        for (clistiter* f = dyn && dyn->att_list ? clist_begin(dyn->att_list) : nullptr;
             f != nullptr; f = clist_next(f)) {
          auto* ff = static_cast<struct mailimap_flag_fetch*>(clist_content(f));
          if (ff->fl_type == MAILIMAP_FLAG_FETCH_OTHER && ff->fl_flag) {
            std::string text = FlagText(ff->fl_flag);
            if (!text.empty()) m.flags.push_back(std::move(text));
          }
        }
        continue;
      }
      struct mailimap_msg_att_static* st = item->att_data.att_static;
      switch (st->att_type) {
        case MAILIMAP_MSG_ATT_UID:
          m.uid = st->att_data.att_uid;
          break;
        case MAILIMAP_MSG_ATT_RFC822_SIZE:
          m.size = st->att_data.att_rfc822_size;
          break;
        case MAILIMAP_MSG_ATT_INTERNALDATE:
          if (st->att_data.att_internal_date)
            m.internalDate = UnixTime(st->att_data.att_internal_date);
          break;
        case MAILIMAP_MSG_ATT_BODY_SECTION:
          if (st->att_data.att_body_section && st->att_data.att_body_section->sec_body_part) {
            m.content.assign(st->att_data.att_body_section->sec_body_part,
                             st->att_data.att_body_section->sec_length);
          }
          break;
        default:
          break;
      }
    }
    // An unsolicited FETCH (a flag change of another message) has no UID in range.
    if (m.uid != 0 && m.uid >= first && (last == 0 || m.uid <= last)) out->push_back(std::move(m));
  }
  std::sort(out->begin(), out->end(),
            [](const MessageSummary& a, const MessageSummary& b) { return a.uid < b.uid; });
  return true;
}

namespace {
bool SearchResult(clist* result, std::vector<std::uint32_t>* out) {
  out->clear();
  for (clistiter* it = clist_begin(result); it != nullptr; it = clist_next(it)) {
    out->push_back(*static_cast<std::uint32_t*>(clist_content(it)));
  }
  std::sort(out->begin(), out->end());
  return true;
}
}  // namespace

bool ImapConnection::SearchAll(std::vector<std::uint32_t>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SEARCH", error);
  struct mailimap_search_key* key = mailimap_search_key_new_all();
  clist* result = nullptr;
  impl_->StartCommand();
  int r = mailimap_uid_search(impl_->imap, nullptr, key, &result);
  mailimap_search_key_free(key);
  Owned<clist, mailimap_search_result_free> owned{result};
  if (!Check(r, "SEARCH", error)) return false;
  return SearchResult(result, out);
}

bool ImapConnection::SearchMessageId(const std::string& id, std::vector<std::uint32_t>* out,
                                     ImapError* error) {
  return SearchMessageIds({id}, out, error);
}

bool ImapConnection::SearchMessageIds(const std::vector<std::string>& ids,
                                      std::vector<std::uint32_t>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SEARCH", error);
  if (ids.empty()) {
    out->clear();
    return true;
  }
  struct mailimap_search_key* key = nullptr;
  for (const std::string& id : ids) {
    struct mailimap_search_key* one =
        mailimap_search_key_new_header(strdup("Message-ID"), strdup(id.c_str()));
    key = key == nullptr ? one : mailimap_search_key_new_or(key, one);
  }
  clist* result = nullptr;
  impl_->StartCommand();
  int r = mailimap_uid_search(impl_->imap, "UTF-8", key, &result);
  mailimap_search_key_free(key);
  Owned<clist, mailimap_search_result_free> owned{result};
  if (!Check(r, "SEARCH", error)) return false;
  return SearchResult(result, out);
}

bool ImapConnection::StoreFlags(std::uint32_t uid, bool add, const std::vector<std::string>& flags,
                                ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "STORE", error);
  struct mailimap_flag_list* list = NewFlagList(flags);
  struct mailimap_store_att_flags* att =
      add ? mailimap_store_att_flags_new_add_flags_silent(list)
          : mailimap_store_att_flags_new_remove_flags_silent(list);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  int r = mailimap_uid_store(impl_->imap, set, att);
  mailimap_set_free(set);
  mailimap_store_att_flags_free(att);
  return Check(r, "STORE", error);
}

bool ImapConnection::Copy(std::uint32_t uid, const std::string& mailbox,
                          std::optional<std::uint32_t>* newUid, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "COPY", error);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  int r;
  newUid->reset();
  if (HasCapability("UIDPLUS")) {
    std::uint32_t validity = 0;
    struct mailimap_set* source = nullptr;
    struct mailimap_set* dest = nullptr;
    r = mailimap_uidplus_uid_copy(impl_->imap, set, mailbox.c_str(), &validity, &source, &dest);
    *newUid = FirstOf(dest);
    if (source) mailimap_set_free(source);
    if (dest) mailimap_set_free(dest);
  } else {
    r = mailimap_uid_copy(impl_->imap, set, mailbox.c_str());
  }
  mailimap_set_free(set);
  return Check(r, "COPY", error);
}

bool ImapConnection::Move(std::uint32_t uid, const std::string& mailbox,
                          std::optional<std::uint32_t>* newUid, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "MOVE", error);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  std::uint32_t validity = 0;
  struct mailimap_set* source = nullptr;
  struct mailimap_set* dest = nullptr;
  int r = mailimap_uidplus_uid_move(impl_->imap, set, mailbox.c_str(), &validity, &source, &dest);
  newUid->reset();
  *newUid = FirstOf(dest);
  if (source) mailimap_set_free(source);
  if (dest) mailimap_set_free(dest);
  mailimap_set_free(set);
  return Check(r, "MOVE", error);
}

bool ImapConnection::UidExpunge(std::uint32_t uid, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "EXPUNGE", error);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  int r = mailimap_uid_expunge(impl_->imap, set);
  mailimap_set_free(set);
  return Check(r, "EXPUNGE", error);
}

bool ImapConnection::Append(const std::string& mailbox, const std::string& bytes,
                            const std::vector<std::string>& flags, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "APPEND", error);
  struct mailimap_flag_list* list = flags.empty() ? nullptr : NewFlagList(flags);
  impl_->StartCommand();
  int r = mailimap_append(impl_->imap, mailbox.c_str(), list, nullptr, bytes.data(), bytes.size());
  if (list) mailimap_flag_list_free(list);
  return Check(r, "APPEND", error);
}

}  // namespace quorvel::mapi::imap
