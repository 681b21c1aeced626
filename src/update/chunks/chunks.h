#pragma once
// Big files as chunks: where a file is cut (the chunker), how a site describes the cuts of one
// file (the chunk index) and what a launcher takes from where (the plan): standard C++ alone,
// which the publisher's native helper builds too. The platform edge that builds a stage copy
// from chunks is fetch/ (chunk_assembly.h, chunk_files.h).
#include "update/chunks/chunk_index.h"
#include "update/chunks/chunk_plan.h"
#include "update/chunks/chunker.h"
