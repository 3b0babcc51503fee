// rotaview-demo-store: writes a new workspace (group files, calendar-service.ini and a local
// calendar store of synthetic people) into a folder that does not exist yet or is empty.
//
// Exit status: 0 written; 3 the folder already holds something and was left alone; 1 it could
// not be written; 2 bad arguments.

#include "tools/store_generator.h"
#include "platform/qsettings_store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

int intOption(const QCommandLineParser& parser, const QString& name, int low, bool* ok) {
    bool converted = false;
    const int value = parser.value(name).toInt(&converted);
    if (!converted || value < low) {
        QTextStream(stderr) << "--" << name << " needs a whole number of at least " << low
                            << ", not \"" << parser.value(name) << "\".\n";
        *ok = false;
    }
    return value;
}

// The board starts with this group when the user has not chosen one yet; a choice already made
// is kept.
void seedDefaultGroup(const QString& group) {
    rv::QSettingsStore settings;
    const QString absent = QStringLiteral("\x01absent");
    if (settings.GetSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"), absent) ==
        absent)
        settings.SaveSetting(QStringLiteral("Settings"), QStringLiteral("DefaultGrp"), group);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rotaview-demo-store"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a Rotaview workspace: group files, calendar-service.ini and a "
                       "local calendar store of synthetic people laid out around a date. A folder "
                       "that already holds something is never written to."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("The new workspace (absent or empty)."));
    const rv::bench::StoreOptions defaults;
    parser.addOptions({
        {QStringLiteral("people"), QStringLiteral("People in the store (default 12)."),
         QStringLiteral("n"), QString::number(defaults.people)},
        {QStringLiteral("events"),
         QStringLiteral("Events in each calendar (default %1).").arg(defaults.eventsPerPerson),
         QStringLiteral("n"), QString::number(defaults.eventsPerPerson)},
        {QStringLiteral("seed"), QStringLiteral("Seed of the layout (default 1)."),
         QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("date"),
         QStringLiteral("The date the calendars are laid out around, yyyy-MM-dd (default today)."),
         QStringLiteral("date")},
        {QStringLiteral("months-before"),
         QStringLiteral("Months covered before the date's month (default %1).")
             .arg(defaults.monthsBefore),
         QStringLiteral("n"), QString::number(defaults.monthsBefore)},
        {QStringLiteral("months-after"),
         QStringLiteral("Months covered after the date's month (default %1).")
             .arg(defaults.monthsAfter),
         QStringLiteral("n"), QString::number(defaults.monthsAfter)},
        {QStringLiteral("everyone-group"),
         QStringLiteral("Adds a group \"Everyone\" holding every person.")},
        {QStringLiteral("default-group"),
         QStringLiteral("Sets the board's starting group in the user's settings, unless one is "
                        "set already."),
         QStringLiteral("name")},
    });
    parser.process(app);

    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1) {
        QTextStream(stderr) << "Give exactly one folder to write the workspace into.\n";
        return 2;
    }
    bool ok = true;
    rv::bench::StoreOptions options;
    options.people = intOption(parser, QStringLiteral("people"), 2, &ok);
    options.eventsPerPerson = intOption(parser, QStringLiteral("events"), 0, &ok);
    options.monthsBefore = intOption(parser, QStringLiteral("months-before"), 0, &ok);
    options.monthsAfter = intOption(parser, QStringLiteral("months-after"), 0, &ok);
    options.everyoneGroup = parser.isSet(QStringLiteral("everyone-group"));
    bool seedOk = false;
    options.seed = parser.value(QStringLiteral("seed")).toULongLong(&seedOk);
    if (!ok || !seedOk) {
        QTextStream(stderr) << "Bad arguments; see --help.\n";
        return 2;
    }
    if (parser.isSet(QStringLiteral("date"))) {
        options.today = QDate::fromString(parser.value(QStringLiteral("date")), Qt::ISODate);
        if (!options.today.isValid()) {
            QTextStream(stderr) << "--date needs yyyy-MM-dd, not \""
                                << parser.value(QStringLiteral("date")) << "\".\n";
            return 2;
        }
    }

    try {
        const rv::bench::StorePlan plan = rv::bench::createWorkspace(folders.front(), options);
        if (parser.isSet(QStringLiteral("default-group")))
            seedDefaultGroup(parser.value(QStringLiteral("default-group")));
        QTextStream(stdout) << "Wrote a workspace of " << plan.people.size() << " people ("
                            << options.eventsPerPerson << " events each, "
                            << plan.firstDay.toString(Qt::ISODate) << " to "
                            << plan.lastDay.toString(Qt::ISODate) << ") to " << folders.front()
                            << "; connected user " << plan.connectedUser << ".\n";
        return 0;
    } catch (const rv::bench::WorkspaceExists& e) {
        QTextStream(stderr) << e.what() << "\n";
        return 3;
    } catch (const std::exception& e) {
        QTextStream(stderr) << "Could not write the workspace: " << e.what() << "\n";
        return 1;
    }
}
