// A thread of its own for work that blocks for long (a scanner driver
// opening a device or reading a page), and the way the user-interface
// thread waits for it: the windows keep repainting, user input waits for
// the end, and a modal box says what is going on (with a gauge and a
// cancel button where the work has them) once it takes longer than a moment.
#pragma once

#include <QDialog>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qova::engine {

class JobThread {
public:
    JobThread();
    // Runs what is queued, then ends the thread.
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    void post(std::function<void()> job);

private:
    void loop();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stop_ = false;
    std::thread thread_;
};

// The box shown while the program waits: a text, a gauge (busy until the
// first percentage) and, when the work can be stopped, a cancel button. The
// user cannot close it: Esc and the window's close button cancel like the
// button does, and the box goes only when the work has ended.
class WaitBox : public QDialog {
    Q_OBJECT
public:
    WaitBox(QWidget* owner, const QString& title, const QString& text, std::function<void()> cancel);
    void setPercent(int percent);
    bool cancelRequested() const { return cancelled_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    void reject() override;

private:
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancelButton_ = nullptr;
    std::function<void()> cancel_;
    bool cancelled_ = false;
};

// What a job may report while it runs; callable from the job's thread.
using ProgressReport = std::function<void(int percent)>;

struct WaitOptions {
    QWidget* owner = nullptr;
    QString title;
    QString text;
    // The box comes up after this long (0: at once).
    int delayMs = 400;
    // Called on the user-interface thread when the user cancels; null: the
    // work cannot be stopped and the box has no cancel button.
    std::function<void()> cancel;
    // Called on the user-interface thread with every percentage reported.
    std::function<void(int)> progress;
};

// Runs `job` on `thread` and returns once it has run, rethrowing what it
// threw. The job reports progress through the function it is given.
void runAndWait(JobThread& thread, const std::function<void(const ProgressReport&)>& job, const WaitOptions& options);

}  // namespace qova::engine
