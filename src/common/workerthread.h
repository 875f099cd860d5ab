#pragma once

#include <exception>
#include <functional>
#include <thread>
#include <utility>

namespace preisliste {

// One piece of work on a thread of its own, beside the caller's. An
// exception that ends the work (out of memory) is kept and raised again on
// the caller's thread by Join(), as if it had happened there: on a thread of
// its own it would end the program.
//
// The work starts at once: declare the worker after every member it uses.
class WorkerThread {
public:
    // Runs `work`, then `atEnd`, whether the work returned or threw.
    WorkerThread(std::function<void()> work, std::function<void()> atEnd)
        : thread_([this, work = std::move(work), atEnd = std::move(atEnd)] {
              try {
                  work();
              } catch (...) {
                  failure_ = std::current_exception();
              }
              atEnd();
          })
    {
    }
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;
    ~WorkerThread()
    {
        if (thread_.joinable())
            thread_.join();
    }

    // Waits for the work to end and raises what ended it, if anything.
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
    }

private:
    std::exception_ptr failure_;
    std::thread thread_;
};

} // namespace preisliste
