#include "ui/qt_ui_thread.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>
#include <utility>

namespace lumvex {
namespace {

// Receives the queued calls. They are invoked by method (the event is made inside Qt) rather
// than with a functor made by the posting thread: Qt's event queue synchronises through futexes
// that ThreadSanitizer cannot see, so a functor written on a worker and read on the GUI thread
// would look like a race, and a suppression wide enough to hide it would hide our own races too.
class Receiver : public QObject {
  Q_OBJECT

 public:
  explicit Receiver(std::function<void()> run_one) : run_one_(std::move(run_one)) {}
  Q_INVOKABLE void RunOne() { run_one_(); }

 private:
  std::function<void()> run_one_;
};

}  // namespace

struct QtUiThread::Waiter {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool ran = false;

  void Finish(bool has_run) {
    {
      std::lock_guard lock(mutex);
      done = true;
      ran = has_run;
    }
    done_cv.notify_one();
  }
};

QtUiThread::QtUiThread()
    : ui_thread_id_(std::this_thread::get_id()),
      receiver_(std::make_unique<Receiver>([this] { RunOne(); })) {
  const QMetaObject* meta = receiver_->metaObject();
  run_one_ = meta->method(meta->indexOfMethod("RunOne()"));
}

QtUiThread::~QtUiThread() { Close(); }

bool QtUiThread::IsUiThread() const { return std::this_thread::get_id() == ui_thread_id_; }

void QtUiThread::Enqueue(Item item) {
  // Posting under the lock keeps the receiver alive for the call: Close() and the destructor
  // take the same lock before it can go away, and posting itself never blocks.
  queue_.push_back(std::move(item));
  run_one_.invoke(receiver_.get(), Qt::QueuedConnection);
}

bool QtUiThread::RunSync(const std::function<void()>& fn) {
  if (IsUiThread()) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
    }
    fn();
    return true;
  }
  auto waiter = std::make_shared<Waiter>();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    Enqueue(Item{{}, &fn, waiter});
  }
  std::unique_lock lock(waiter->mutex);
  waiter->done_cv.wait(lock, [&] { return waiter->done; });
  return waiter->ran;
}

void QtUiThread::Post(std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  Enqueue(Item{std::move(fn), nullptr, nullptr});
}

void QtUiThread::RunOne() {
  Item item;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return;  // Close() took it
    item = std::move(queue_.front());
    queue_.pop_front();
  }
  if (item.sync) {
    (*item.sync)();
    item.waiter->Finish(true);
  } else if (item.posted) {
    item.posted();
  }
}

void QtUiThread::Close() {
  std::deque<Item> dropped;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
    dropped.swap(queue_);
  }
  for (Item& item : dropped) {
    if (item.waiter) item.waiter->Finish(false);
  }
}

}  // namespace lumvex

#include "qt_ui_thread.moc"
