#pragma once
// The three ways quarrow-cli shows a job: a live terminal view, one line per finished item,
// and newline-delimited JSON.
#include "cli/HarvestJob.h"

#include <cstdio>
#include <memory>
#include <string>

// A JSON string literal for `text`, quotes included. Bytes that are not UTF-8 become U+FFFD
// so that the output always parses.
std::string JsonString(const std::string& text);
// {"id":..,"file":..,"url":..,"kind":..,"status":..,"size":..,"transferred":..,"saved_path":..,"info":..}
// without the braces, so that callers can put fields in front.
std::string JsonItemFields(const CDownloadItem& item);
// The last line of --json: state, elapsed_seconds, items and a few more fields.
std::string JsonFinalObject(const JobResult& result);

// "Completed  a.jpg  12.5 KB" and, for errors, the engine's info text.
std::string FinishedItemLine(const CDownloadItem& item);
// Counts per status, bytes, elapsed time, average speed and the folder; several lines.
std::string SummaryText(const JobResult& result);

enum class ViewKind { Live, Lines, Json };

// `out` receives the view; `err` the failure texts (and the summary in JSON mode).
std::unique_ptr<IJobView> MakeJobView(ViewKind kind, std::FILE* out, std::FILE* err);
