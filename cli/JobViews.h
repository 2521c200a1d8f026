#pragma once
// The three ways quarrow-cli shows a job: a live terminal view, one line per finished item,
// and newline-delimited JSON.
#include "cli/HarvestJob.h"
#include "helpers/Json.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using HELPERS::JsonString;
// {"id":..,"file":..,"url":..,"kind":..,"status":..,"size":..,"transferred":..,"saved_path":..,"info":..}
// without the braces, so that callers can put fields in front.
std::string JsonItemFields(const CDownloadItem& item);
// The last line of --json: state, elapsed_seconds, items and a few more fields.
std::string JsonFinalObject(const JobResult& result);

// "Completed  a.jpg  12.5 KB" and, for errors, the engine's info text.
std::string FinishedItemLine(const CDownloadItem& item);
// Counts per status, bytes, elapsed time, average speed and the folder; several lines.
std::string SummaryText(const JobResult& result);

// Columns the text takes in a terminal: wide East Asian characters count two, combining
// marks none; a byte that is not UTF-8 counts one (it is shown as "?").
std::size_t DisplayWidth(const std::string& text);
// The text cut to at most `width` columns, ending in ".." when something was cut. Control
// characters and bytes that are not UTF-8 become "?", so a file name can never move the
// cursor or change the terminal's state.
std::string FitToWidth(const std::string& text, std::size_t width);

// The live view's lines for one tick, each at most `width` columns: the page, the job's
// state with its file counts, the overall bytes with percentage, speed and time left, and
// one line per running item, its name first.
std::vector<std::string> LiveViewLines(const JobProgress& progress, std::size_t width);

// Whether a terminal of this TERM value can redraw lines in place (not "dumb", not unset).
bool TerminalCanRedraw(const char* term);

enum class ViewKind { Live, Lines, Json };

// `out` receives the view; `err` the failure texts (and the summary in JSON mode). The live
// view falls back to the line view when $TERM says the terminal cannot redraw.
std::unique_ptr<IJobView> MakeJobView(ViewKind kind, std::FILE* out, std::FILE* err);
