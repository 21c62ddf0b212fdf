// fenno: the desktop application. Optional mode file; --demo runs the built-in simulator.
#include "app/velkorv13_app.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fenno"));
    QApplication::setOrganizationName(QString::fromLatin1(fenno::kAppKey));
    QApplication::setDesktopFileName(QString::fromLatin1(fenno::kAppUserModelId));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tuning and control of the DSP amplifier"));
    parser.addHelpOption();
    QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Start the built-in simulated amplifier and connect to it."));
    parser.addOption(demo);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A mode file to load."),
                                 QStringLiteral("[file]"));
    parser.process(qapp);

    fenno::AppOptions options;
    if (parser.isSet(demo)) options.demo = fenno::SimConfig{};
    if (!parser.positionalArguments().isEmpty())
        options.file = parser.positionalArguments().first();

    fenno::CVelkorv13App app(std::move(options));
    if (!app.Start()) return 0;
    return qapp.exec();
}
