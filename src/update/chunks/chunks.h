#pragma once
// Big files as chunks: where a file is cut (the chunker), how a site describes the cuts of one
// file (the chunk index) and what a launcher takes from where (the plan): standard C++ alone,
// which the publisher's native helper builds too. The platform edge that builds a stage copy
// from chunks is fetch/ (release_chunks.h for a whole release, chunk_assembly.h for one file,
// chunk_cut.h for a local file cut as it is hashed, chunk_files.h).
#include "update/chunks/chunk_index.h"
#include "update/chunks/chunk_plan.h"
#include "update/chunks/chunker.h"
