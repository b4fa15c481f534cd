// The worker's way to the GUI thread: the call runs there, the caller waits
// for it and then sees what it wrote; on the GUI thread it runs at once.
#include <QThread>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/gui_thread_call.hpp"

using namespace tolvane;

class TestGuiThreadCall : public QObject {
  Q_OBJECT

 private slots:
  void runsOnTheGuiThreadAndWaits() {
    QThread* gui = QThread::currentThread();
    QThread* ranOn = nullptr;
    std::atomic<bool> returned{false};
    std::vector<int> written;
    bool workerOnGui = true;
    std::size_t seenByWorker = 0;
    std::thread worker([&] {
      workerOnGui = onGuiThread();
      callOnGuiThread([&] {
        ranOn = QThread::currentThread();
        written.assign({1, 2, 3});
      });
      // Read by the worker only after the call: no lock needed.
      seenByWorker = written.size();
      returned = true;
    });
    QTRY_VERIFY(returned.load());
    worker.join();
    QVERIFY(!workerOnGui);
    QCOMPARE(ranOn, gui);
    QCOMPARE(seenByWorker, std::size_t(3));
  }

  void aCallFromTheGuiThreadRunsDirectly() {
    QVERIFY(onGuiThread());
    int calls = 0;
    callOnGuiThread([&] { ++calls; });
    QCOMPARE(calls, 1);  // no event loop needed, no deadlock
  }

  void callsFromTwoWorkersAreServedOneAtATime() {
    std::atomic<int> inside{0};
    int most = 0, total = 0;
    auto work = [&] {
      for (int i = 0; i < 20; ++i) {
        callOnGuiThread([&] {
          most = std::max(most, ++inside);
          ++total;
          --inside;
        });
      }
    };
    std::thread a(work), b(work);
    QTRY_COMPARE(total, 40);
    a.join();
    b.join();
    QCOMPARE(most, 1);
  }
};

// A call still waiting when the application goes is released unrun: the
// worker must not hang. Needs an application of its own, so it runs after
// the suite's. Returns the number of failures.
static int aWaitingCallIsReleasedWhenTheApplicationGoes(int argc, char** argv) {
  auto* app = new QCoreApplication(argc, argv);
  std::atomic<bool> ran{false}, returned{false};
  std::thread worker([&] {
    callOnGuiThread([&] { ran = true; });
    returned = true;
  });
  // No event loop runs: the call can only wait in the queue until the
  // application is deleted (or, had the worker been slower, find none).
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const bool waited = !returned.load();
  delete app;
  worker.join();
  int failures = 0;
  if (!waited) {
    std::fprintf(stderr, "FAIL: the call returned before the application went\n");
    ++failures;
  }
  if (ran.load()) {
    std::fprintf(stderr, "FAIL: a call discarded at shutdown ran\n");
    ++failures;
  }
  // With no application at all the call returns at once, unrun.
  callOnGuiThread([&] { ran = true; });
  if (ran.load()) {
    std::fprintf(stderr, "FAIL: a call ran with no application\n");
    ++failures;
  }
  return failures;
}

int main(int argc, char** argv) {
  int failures = 0;
  {
    QCoreApplication app(argc, argv);
    TestGuiThreadCall suite;
    failures = QTest::qExec(&suite, argc, argv);
  }
  return failures + aWaitingCallIsReleasedWhenTheApplicationGoes(argc, argv);
}

#include "tst_gui_thread_call.moc"
