#include "job_thread.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

namespace qova::engine {

JobThread::JobThread() : thread_([this] { loop(); }) {}

JobThread::~JobThread() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void JobThread::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void JobThread::loop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

WaitBox::WaitBox(QWidget* owner, const QString& title, const QString& text, std::function<void()> cancel)
    : QDialog(owner), cancel_(std::move(cancel)) {
    setObjectName(QStringLiteral("WaitBox"));
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(text, this);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 0);
    bar_->setMinimumWidth(320);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    if (cancel_) {
        cancelButton_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
        cancelButton_->setObjectName(QStringLiteral("cancel"));
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(cancelButton_);
        layout->addLayout(row);
        connect(cancelButton_, &QPushButton::clicked, this, [this] { reject(); });
    }
}

void WaitBox::setPercent(int percent) {
    if (bar_->maximum() == 0) bar_->setRange(0, 100);
    bar_->setValue(std::clamp(percent, 0, 100));
}

void WaitBox::reject() {
    // The box stays until the work has stopped; cancelling only asks it to.
    if (!cancel_ || cancelled_) return;
    cancelled_ = true;
    cancelButton_->setEnabled(false);
    label_->setText(QStringLiteral("中止しています…"));
    cancel_();
}

void runAndWait(JobThread& thread, const std::function<void(const ProgressReport&)>& job, const WaitOptions& o) {
    // The loop and the box live on this thread; the job talks to them only
    // through queued calls on `relay`, which outlives every call it is sent
    // (the job's last act is to post `finished`, and `posted` tells when it
    // no longer touches anything of ours).
    QObject relay;
    QEventLoop loop;
    bool finished = false;
    std::atomic<bool> posted{false};
    std::exception_ptr error;
    std::unique_ptr<WaitBox> box;
    int lastPercent = -1;

    auto onProgress = [&](int p) {
        if (p == lastPercent) return;
        lastPercent = p;
        if (box) box->setPercent(p);
        if (o.progress) o.progress(p);
    };
    const ProgressReport report = [&relay, &onProgress](int p) {
        QMetaObject::invokeMethod(&relay, [&onProgress, p] { onProgress(p); }, Qt::QueuedConnection);
    };
    thread.post([&] {
        try {
            job(report);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&relay, [&] {
            finished = true;
            loop.quit();
        }, Qt::QueuedConnection);
        posted.store(true);
    });

    auto showBox = [&] {
        box = std::make_unique<WaitBox>(o.owner, o.title, o.text, o.cancel);
        if (lastPercent >= 0) box->setPercent(lastPercent);
        box->show();
    };
    if (o.delayMs <= 0) {
        showBox();
    } else {
        // Until the box is up nothing may take input: the windows repaint,
        // keys and clicks wait for the end.
        QTimer::singleShot(o.delayMs, &relay, [&] { loop.quit(); });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!finished) showBox();
    }
    // The box is application-modal: input goes to it alone.
    while (!finished) loop.exec();
    while (!posted.load()) std::this_thread::yield();
    box.reset();
    if (error) std::rethrow_exception(error);
}

}  // namespace qova::engine
