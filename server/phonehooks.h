// The phone alerts' hooks that the companion store answers: which numbers to watch and their
// mirrored tables (in bulk), the channels bound on the binding page, and the outbox that makes an
// alert go out once across restarts. The clock and the quotes are the caller's.
#pragma once

#include "phoneservice.h"
#include "store.h"

namespace server {

namespace phone {

// The mirrored rows of one number as the alert rules read them.
MirroredTables tablesFrom(const MirroredConfig& config);

// Every hook but `now` and `quotes`, on `store` (which must outlive the service).
PhoneService::Hooks storeHooks(CompanionStore& store);

} // namespace phone
} // namespace server
