// The window tests: every suite in one program, on Qt's offscreen platform.
#include <QApplication>

int RunMainWindowTests(int argc, char** argv);
int RunDialogsTests(int argc, char** argv);
int RunDailyUseTests(int argc, char** argv);
int RunConsultTests(int argc, char** argv);

int main(int argc, char** argv) {
    // No display is needed, nor used when there is one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failures = 0;
    for (const auto run :
         {RunMainWindowTests, RunDialogsTests, RunDailyUseTests, RunConsultTests}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
