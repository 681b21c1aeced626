#pragma once
// The mirrors of one pass. While a PassMirrors lives on the worker thread, each download whose
// URL lies under one of its base URLs is fetched from the mirror in use, and on a failure
// moves on as PlanNextTry decides: the item's path is asked of the next mirror, or of the same
// one again after a wait. Without one, a download is tried once, from its own URL.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "update/transfer/retry_plan.h"

namespace Network {

class PassMirrors {
  public:
    // bases: https base URLs ending in "/", in the order they are asked; first: the one in use.
    explicit PassMirrors(std::vector<std::wstring> bases, std::size_t first = 0);
    ~PassMirrors();
    PassMirrors(const PassMirrors&) = delete;
    PassMirrors& operator=(const PassMirrors&) = delete;

    std::size_t Count() const { return bases_.size(); }
    const std::wstring& Base(std::size_t mirror) const { return bases_[mirror]; }
    // The mirror the next item starts at; false when every mirror is banned.
    bool InUse(std::size_t& mirror) const { return FirstMirror(state_, mirror); }
    // Not asked again this pass (its list was refused).
    void Ban(std::size_t mirror) { state_.banned[mirror] = true; }

    // Fetches url (or, under a base, its path from the mirrors in turn) with fetch, which
    // downloads one URL. True when one download stood. Otherwise *failure (when not null) is
    // the last download's failure, and names the mirrors tried when the pass has several.
    bool Fetch(const std::wstring& url,
               const std::function<DownloadAttempt(const std::wstring&)>& fetch,
               std::wstring* failure);

  private:
    std::vector<std::wstring> bases_;
    MirrorState state_;
    PassMirrors* outer_;
};

// The mirrors of the pass the current thread runs, or null.
PassMirrors* CurrentPassMirrors();

} // namespace Network
