// Runs one Qt Test class by name (the first argument), or all of them.
#include <QApplication>
#include <QTest>
#include <cstring>
#include <memory>

#include "controls_test.h"
#include "dialogs_test.h"
#include "ui_test_support.h"

namespace {

struct TestClass {
    const char* name;
    std::unique_ptr<QObject> (*make)();
};

template <typename T>
std::unique_ptr<QObject> Make() {
    return std::make_unique<T>();
}

const TestClass kTestClasses[] = {
    {"ControlsTest", Make<ControlsTest>},
    {"DialogsTest", Make<DialogsTest>},
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitUiTests();
    const char* only = argc > 1 ? argv[1] : nullptr;
    // The remaining arguments go to Qt Test (test function names, -v2 ...).
    char* qtArgs[64] = {argv[0]};
    int qtArgc = 1;
    for (int i = only ? 2 : 1; i < argc && qtArgc < 63; ++i) qtArgs[qtArgc++] = argv[i];
    int failures = 0;
    for (const TestClass& test : kTestClasses) {
        if (only && std::strcmp(only, test.name) != 0) continue;
        auto object = test.make();
        failures += QTest::qExec(object.get(), qtArgc, qtArgs);
    }
    return failures == 0 ? 0 : 1;
}
