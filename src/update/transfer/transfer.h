#pragma once
// One transfer: a download that stands only as a whole 200 over https, its progress, its
// temporary file and the internet cache it must not leave behind, and the pass's mirrors it is
// tried again from. The pass's door to the wing.
#include "update/transfer/cache_orphans.h"
#include "update/transfer/download.h"
#include "update/transfer/internet_cache.h"
#include "update/transfer/mirror_failover.h"
#include "update/transfer/partial_files.h"
