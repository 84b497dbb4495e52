#include <libetpan/libetpan.h>
#include <poll.h>
#include <strings.h>

#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_stream.h"

namespace quorvel::mapi::imap {

bool ImapConnection::List(std::vector<MailboxInfo>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "LIST", error);
  impl_->StartCommand();
  clist* result = nullptr;
  int r = mailimap_list(impl_->imap, "", "*", &result);
  Owned<clist, mailimap_list_result_free> owned{result};
  if (!Check(r, "LIST", error)) return false;
  out->clear();
  for (clistiter* it = clist_begin(result); it != nullptr; it = clist_next(it)) {
    auto* mb = static_cast<struct mailimap_mailbox_list*>(clist_content(it));
    if (mb->mb_name == nullptr) continue;
    MailboxInfo info;
    info.name = mb->mb_name;
    info.delimiter = mb->mb_delimiter;
    if (struct mailimap_mbx_list_flags* flags = mb->mb_flag) {
      if (flags->mbf_type == MAILIMAP_MBX_LIST_FLAGS_SFLAG) {
        if (flags->mbf_sflag == MAILIMAP_MBX_LIST_SFLAG_NOSELECT) {
          info.noSelect = true;
          info.attributes.push_back("\\Noselect");
        }
      }
      for (clistiter* o = clist_begin(flags->mbf_oflags); o != nullptr; o = clist_next(o)) {
        auto* oflag = static_cast<struct mailimap_mbx_list_oflag*>(clist_content(o));
        if (oflag->of_type == MAILIMAP_MBX_LIST_OFLAG_FLAG_EXT && oflag->of_flag_ext) {
          std::string attr = std::string("\\") + oflag->of_flag_ext;
          if (strcasecmp(oflag->of_flag_ext, "NonExistent") == 0) info.noSelect = true;
          info.attributes.push_back(std::move(attr));
        } else if (oflag->of_type == MAILIMAP_MBX_LIST_OFLAG_NOINFERIORS) {
          info.attributes.push_back("\\Noinferiors");
        }
      }
    }
    out->push_back(std::move(info));
  }
  return true;
}

bool ImapConnection::Select(const std::string& mailbox, bool readOnly, ImapError* error,
                            bool refresh) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SELECT", error);
  if (!refresh && selected_ && selected_->name == mailbox && selectedReadOnly_ == readOnly) {
    return true;
  }
  selected_.reset();
  impl_->StartCommand();
  int r = readOnly ? mailimap_examine(impl_->imap, mailbox.c_str())
                   : mailimap_select(impl_->imap, mailbox.c_str());
  if (!Check(r, readOnly ? "EXAMINE" : "SELECT", error)) return false;
  SelectedMailbox s;
  s.name = mailbox;
  if (struct mailimap_selection_info* info = impl_->imap->imap_selection_info) {
    s.uidValidity = info->sel_uidvalidity;
    s.uidNext = info->sel_uidnext;
    s.exists = info->sel_exists;
    for (clistiter* it = info->sel_perm_flags ? clist_begin(info->sel_perm_flags) : nullptr;
         it != nullptr; it = clist_next(it)) {
      auto* perm = static_cast<struct mailimap_flag_perm*>(clist_content(it));
      if (perm->fl_type == MAILIMAP_FLAG_PERM_ALL) s.keywordsAllowed = true;
    }
  }
  selected_ = std::move(s);
  selectedReadOnly_ = readOnly;
  return true;
}

bool ImapConnection::Create(const std::string& mailbox, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "CREATE", error);
  impl_->StartCommand();
  return Check(mailimap_create(impl_->imap, mailbox.c_str()), "CREATE", error);
}

bool ImapConnection::Subscribe(const std::string& mailbox, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SUBSCRIBE", error);
  impl_->StartCommand();
  return Check(mailimap_subscribe(impl_->imap, mailbox.c_str()), "SUBSCRIBE", error);
}

bool ImapConnection::Delete(const std::string& mailbox, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "DELETE", error);
  if (selected_ && selected_->name == mailbox) selected_.reset();
  impl_->StartCommand();
  return Check(mailimap_delete(impl_->imap, mailbox.c_str()), "DELETE", error);
}

bool ImapConnection::Noop(ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "NOOP", error);
  impl_->StartCommand();
  return Check(mailimap_noop(impl_->imap), "NOOP", error);
}

ImapConnection::IdleResult ImapConnection::Idle(int seconds, int stopFd, ImapError* error) {
  if (broken_) {
    Check(MAILIMAP_ERROR_STREAM, "IDLE", error);
    return IdleResult::kFailed;
  }
  impl_->StartCommand();
  if (!Check(mailimap_idle(impl_->imap), "IDLE", error)) return IdleResult::kFailed;
  IdleResult result = IdleResult::kTimeout;
  if (impl_->imap->imap_stream->read_buffer_len > 0) {
    result = IdleResult::kActivity;  // the server's report came with its go-ahead
  } else {
    pollfd fds[2] = {{mailimap_idle_get_fd(impl_->imap), POLLIN, 0}, {stopFd, POLLIN, 0}};
    int n = ::poll(fds, stopFd >= 0 ? 2 : 1, seconds * 1000);
    if (n > 0 && stopFd >= 0 && (fds[1].revents & POLLIN)) {
      result = IdleResult::kStopped;
    } else if (n > 0) {
      result = IdleResult::kActivity;
    }
  }
  impl_->StartCommand();
  if (!Check(mailimap_idle_done(impl_->imap), "IDLE", error)) return IdleResult::kFailed;
  return result;
}

}  // namespace quorvel::mapi::imap
