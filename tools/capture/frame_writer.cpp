// frame_writer.cpp -- one worker thread and a small ring of frame buffers.
#include "tools/capture/frame_writer.h"

FrameWriter::FrameWriter(int depth) : buffers_(size_t(depth < 1 ? 1 : depth)) {
    for (std::vector<uint8_t>& b : buffers_) free_.push_back(&b);
    worker_ = std::thread([this] { Work(); });
}

FrameWriter::~FrameWriter() { Finish(); }

std::vector<uint8_t>* FrameWriter::Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    std::vector<uint8_t>* frame = free_.back();
    free_.pop_back();
    return frame;
}

void FrameWriter::Submit(std::vector<uint8_t>* frame, Job job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_ || stopping_) {
        free_.push_back(frame);
    } else {
        queue_.push_back({frame, std::move(job)});
    }
    changed_.notify_all();
}

bool FrameWriter::Failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

std::string FrameWriter::FirstError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

bool FrameWriter::Finish(std::string* why) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_ && why) *why = error_;
    return !failed_;
}

void FrameWriter::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left
        Item item = std::move(queue_.front());
        queue_.pop_front();
        const bool skip = failed_;
        lock.unlock();
        std::string why;
        const bool ok = skip || !item.job || item.job(*item.frame, &why);
        lock.lock();
        if (!ok && !failed_) {
            failed_ = true;
            error_ = why;
        }
        free_.push_back(item.frame);
        changed_.notify_all();
    }
}
