// frame_writer.h -- hands frames from the drawing thread to one worker
// thread that writes them out (to the video encoder's pipe, or as PNG
// files) in the order they came, so that writing a frame and drawing the
// next overlap. At most `depth` frames wait or are being written; a
// buffer for the next frame is handed out only when one is free.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FrameWriter {
public:
    // The work done on one frame's bytes; false (and *why) on failure.
    using Job = std::function<bool(const std::vector<uint8_t>& frame, std::string* why)>;

    explicit FrameWriter(int depth = 3);
    ~FrameWriter();  // Finish()
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // A buffer to fill with the next frame; waits while `depth` are in use.
    std::vector<uint8_t>* Acquire();
    // Queues a buffer from Acquire with the work to do on it. After a failure
    // the work is skipped and the buffer comes back at once.
    void Submit(std::vector<uint8_t>* frame, Job job);
    // True once some job has failed; FirstError() says why.
    bool Failed();
    std::string FirstError();
    // Waits until every queued job is done and stops the worker. False when
    // any job failed (*why: the first failure). Later calls return the same.
    bool Finish(std::string* why = nullptr);

private:
    void Work();

    struct Item {
        std::vector<uint8_t>* frame;
        Job job;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    std::vector<std::vector<uint8_t>*> free_;
    std::vector<std::vector<uint8_t>> buffers_;
    bool stopping_ = false;
    bool failed_ = false;
    std::string error_;
    std::thread worker_;
};
