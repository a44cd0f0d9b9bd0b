// output_set.h -- the files a run makes, finished under temporary names
// beside their final ones and put in place together: all of them or none.
// A file already under a final name is kept until every output is in
// place, and is back under its name when any of them could not be. Only
// renames are used (no hard links), so any file system that can rename
// will do; the data and the folders are synced around the renames.
#pragma once

#include <string>
#include <vector>

class OutputSet {
public:
    OutputSet() = default;
    ~OutputSet();  // removes every temporary file not put in place
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // The temporary name to write the output `final` under: beside it, on
    // the same file system, with its extension ("out.mp4" ->
    // "out.partial-PID.mp4").
    std::string Add(const std::string& final);

    // A temporary file that is no output (removed at the end, whatever happens).
    std::string AddScratch(const std::string& path);

    // Syncs every output's data and folder, renames every output into place
    // and syncs the folders again. On a failure the outputs already renamed
    // are taken back, older files restored (every rename checked: *why also
    // names an older file that could not go back, and where it is), and
    // *why says which file and the system's reason. Called once.
    bool Commit(std::string* why);

private:
    struct Output {
        std::string temporary, final;
    };
    std::vector<Output> outputs_;
    std::vector<std::string> scratch_;
    std::vector<std::string> kept_;  // temporary names that hold an older file: not removed
};

// "dir/name.mp4" -> "dir/name.WHAT-PID.mp4".
std::string TemporaryName(const std::string& path, const char* what);
