#include "platform/FaxAnnouncer.h"

namespace zarvo {
namespace {

FaxAnnouncer* faxAnnouncer = nullptr;

}  // namespace

void SetFaxAnnouncer(FaxAnnouncer* announcer) {
  faxAnnouncer = announcer;
}
FaxAnnouncer* CurrentFaxAnnouncer() {
  return faxAnnouncer;
}

}  // namespace zarvo
