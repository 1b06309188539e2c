// The update path of an attempt: fetch and verify the signed release, refuse a
// downgrade or a reused sequence, reuse an intact installed copy of the offered
// release, or download, check, extract and activate it as a new version folder.
// Everything it uses (the HTTP client, the bodies, the envelope, the staging
// folder) is released before it returns.
#pragma once

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/cache/versions_cache.hpp"
#include "core/context/preparation_context.hpp"
#include "core/context/worker_message.hpp"
#include "core/net/download_client.hpp"

namespace orvo::core {

// The version to start: an installed copy (cached) or the one just activated.
Result<LaunchCandidate> update_release(const PreparationContext& context,
                                       const DownloadClientSettings& client_settings,
                                       WorkerSender& sender, const CancelFlag& cancel);

}  // namespace orvo::core
