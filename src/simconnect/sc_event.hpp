#pragma once
// A manual-reset event: the handle a caller may give SimConnect_Open to be
// signalled after each received message.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace skh {

class ScEvent {
public:
    void set() {
        {
            const std::lock_guard lock(m_mutex);
            m_set = true;
        }
        m_cv.notify_all();
    }
    void reset() {
        const std::lock_guard lock(m_mutex);
        m_set = false;
    }
    // True when the event is (or becomes) set within the timeout.
    bool wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [this] { return m_set; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set = false;
};

}  // namespace skh
