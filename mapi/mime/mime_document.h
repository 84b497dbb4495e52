// Internal to mapi/mime: the parsed GMime document behind a MimeMessage, kept so that
// attachment content is decoded only when asked for. Includes GMime; never include it
// outside this folder.
#ifndef QUORVEL_MAPI_MIME_MIME_DOCUMENT_H_
#define QUORVEL_MAPI_MIME_MIME_DOCUMENT_H_

#include <gmime/gmime.h>

#include <vector>

#include "mapi/mime/mime_parse.h"

namespace quorvel::mapi {

struct MimeDocument {
  // Takes over the reference to `message`; takes its own reference to `stream`, which
  // holds the bytes that the message's parts point into.
  MimeDocument(GMimeMessage* message, GMimeStream* stream);
  ~MimeDocument();
  MimeDocument(const MimeDocument&) = delete;
  MimeDocument& operator=(const MimeDocument&) = delete;

  GMimeMessage* message;
  GMimeStream* stream;
  std::vector<GMimeObject*> leaves;  // the attachments, in order; owned by message
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_MIME_DOCUMENT_H_
