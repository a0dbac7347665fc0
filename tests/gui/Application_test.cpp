// The application object's exception box and the Qt hosts of the wizard's
// timers and window-thread hand-over.
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QEventLoop>
#include <QTimer>
#include <QTemporaryDir>
#include <atomic>
#include <filesystem>
#include <thread>

#include "GuiTestMain.h"
#include "ScriptedMessageBoxes.h"
#include "app/Guarded.h"
#include "app/QtWindowDispatcher.h"
#include "app/QtWizardTimer.h"
#include "app/StartUp.h"
#include "common/Exception.h"

class ApplicationTest : public QObject {
  Q_OBJECT

  ScriptedMessageBoxes boxes;
  KQ30Application* app() { return static_cast<KQ30Application*>(QCoreApplication::instance()); }

 private slots:
  void init() {
    boxes = ScriptedMessageBoxes();
    app()->SetMessageBoxes(&boxes);
  }
  void cleanup() { app()->SetMessageBoxes(nullptr); }

  void exception_in_a_click_handler_is_shown_and_the_program_goes_on() {
    QPushButton button;
    int clicks = 0;
    // Connected the way the windows connect every handler.
    QObject::connect(&button, &QPushButton::clicked, Guarded([&] {
      if (++clicks == 1) throw Exception("Serial port open error! Please check!");
    }));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    boxes.Answers = {MsgResult::OK};
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string("Serial port open error! Please check!"));
    QCOMPARE(boxes.Shown[0].Caption, std::string("KQ-30 Firmware Update"));
    QCOMPARE(boxes.Shown[0].Buttons, MsgButtons::OK);
    QCOMPARE(boxes.Shown[0].Icon, MsgIcon::Error);
    // The next click is handled as usual.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(boxes.Shown.size(), size_t(1));
  }

  void exception_in_a_timer_tick_is_shown_and_the_timer_runs_on() {
    QtWizardTimer timer(5, false);
    int ticks = 0;
    timer.OnTimer = [&] {
      if (++ticks == 2) throw std::runtime_error("tick failed");
    };
    boxes.Answers = {MsgResult::OK};
    timer.SetEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 4, 5000);
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string("tick failed"));
    QVERIFY(timer.Enabled());
  }

  void exception_reaching_the_event_loop_is_shown_and_the_loop_goes_on() {
    // A handler connected without a guard: the application object catches it.
    bool after = false;
    boxes.Answers = {MsgResult::OK};
    QTimer::singleShot(0, [] { throw Exception("escaped"); });
    QTimer::singleShot(10, [&] { after = true; });
    QTRY_VERIFY_WITH_TIMEOUT(after, 5000);
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string("escaped"));
    QCOMPARE(boxes.Shown[0].Caption, std::string("KQ-30 Firmware Update"));
  }

  void other_thrown_objects_show_an_empty_message() {
    QtWindowDispatcher dispatcher;
    bool after = false;
    boxes.Answers = {MsgResult::OK};
    dispatcher.Post([] { throw 42; });
    dispatcher.Post([&] { after = true; });
    QTRY_VERIFY_WITH_TIMEOUT(after, 5000);
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string());
  }

  void posts_from_another_thread_run_in_order_on_the_window_thread() {
    QtWindowDispatcher dispatcher;
    std::vector<int> order;
    std::atomic<bool> wrong_thread{false};
    QThread* window_thread = QThread::currentThread();
    std::thread sender([&] {
      for (int i = 0; i < 100; ++i)
        dispatcher.Post([&, i] {
          if (QThread::currentThread() != window_thread) wrong_thread = true;
          order.push_back(i);
        });
    });
    sender.join();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t(100), 5000);
    QVERIFY(!wrong_thread);
    QVERIFY(std::is_sorted(order.begin(), order.end()));
  }

  void wizard_timer_follows_enable_and_interval() {
    QtWizardTimer timer(1000, false);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    QVERIFY(!timer.Enabled());
    timer.SetInterval(10);
    QCOMPARE(timer.Interval(), 10);
    timer.SetEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 5000);
    timer.SetEnabled(false);
    const int stopped_at = ticks;
    QTest::qWait(50);
    QCOMPARE(ticks, stopped_at);
  }

  void a_timer_ticks_on_while_its_own_handler_shows_a_box() {
    // The first tick opens a modal loop, as a failure message does; the
    // timer's further ticks run inside it.
    QtWizardTimer timer(50, false);
    int ticks = 0, ticksInsideBox = 0;
    bool boxOpen = false;
    timer.OnTimer = [&] {
      ++ticks;
      if (boxOpen) {
        ++ticksInsideBox;
        return;
      }
      if (ticks > 1) return;
      boxOpen = true;
      QEventLoop box;
      QTimer::singleShot(600, &box, &QEventLoop::quit);
      box.exec();
      boxOpen = false;
    };
    timer.SetEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(ticks > 1 && !boxOpen, 5000);
    QVERIFY2(ticksInsideBox >= 4, qPrintable(QString::number(ticksInsideBox)));
  }

  // The wizard's argument, as a file manager passes it: the folder the
  // wizard then works in and the firmware file it loads.
  void the_firmware_argument_names_the_folder_and_the_file() {
    namespace fs = std::filesystem;
    QTemporaryDir tmp;
    const fs::path root = fs::canonical(tmp.path().toStdString());
    fs::create_directories(root / "Downloads");
    const fs::path before = fs::current_path();
    struct Row {
      std::string argument, loads;
      fs::path folder;
    } rows[] = {
        {(root / "Downloads").string(), "KQ-30.bin", root / "Downloads"},
        {(root / "Downloads" / "KQ-30 (1).bin").string(), "KQ-30 (1).bin", root / "Downloads"},
        {"other.bin", "other.bin", root},
        {(root / "missing" / "KQ-30.bin").string(), (root / "missing" / "KQ-30.bin").string(), root},
    };
    for (const Row& row : rows) {
      fs::current_path(root);
      QCOMPARE(EnterFirmwareFolder(row.argument), row.loads);
      QCOMPARE(fs::current_path(), row.folder);
    }
    fs::current_path(before);
  }
};

KQ30_GUI_TEST_MAIN(ApplicationTest)
#include "Application_test.moc"
