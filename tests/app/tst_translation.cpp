// The German translation: its Qt Linguist source is complete, and the file
// lrelease compiled from it lies in translations/ beside the executable,
// where the program started from its own folder finds it, and translates
// texts of the scenes and of the C++ side.

#include "bridge/libclient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QVector>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kTsFile = QStringLiteral(KESTRIX_TS_DIR "/qt_de.ts");
const QString kQmDir = QStringLiteral(KESTRIX_QM_DIR);
const QString kAppDir = QStringLiteral(KESTRIX_APP_DIR);

// One message of a Linguist source.
struct Message {
    QString context;
    QString source;
    QStringList translations;   // one, or the plural forms
    QString type;               // "unfinished", "vanished", "obsolete" or empty
    qint64 line = 0;
};

struct TsFile {
    QString language;
    QVector<Message> messages;
    QString error;   // empty when the file was read completely
};

Message readMessage(QXmlStreamReader& xml, const QString& context)
{
    Message message;
    message.context = context;
    message.line = xml.lineNumber();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            bool hasForms = false;
            QString text;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == QLatin1String("translation"))
                    break;
                if (xml.isCharacters())
                    text += xml.text();
                if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    hasForms = true;
                    message.translations << xml.readElementText();
                }
            }
            if (!hasForms)
                message.translations << text;
        } else {
            xml.skipCurrentElement();
        }
    }
    return message;
}

TsFile readTs(const QString& path)
{
    TsFile ts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ts.error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return ts;
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("TS")) {
        ts.error = QStringLiteral("%1 is not a Linguist source").arg(path);
        return ts;
    }
    ts.language = xml.attributes().value(QLatin1String("language")).toString();
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("context")) {
            xml.skipCurrentElement();
            continue;
        }
        QString context;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("message"))
                ts.messages << readMessage(xml, context);
            else
                xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        ts.error = QStringLiteral("%1, line %2: %3").arg(path).arg(xml.lineNumber()).arg(xml.errorString());
    return ts;
}

QString describe(const Message& message)
{
    return QStringLiteral("line %1, %2: \"%3\"").arg(message.line).arg(message.context, message.source);
}

// The placeholders of a text (%1, %L2, %n), sorted, each as often as it occurs.
QStringList placeholders(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("%L?(\\d+|n)"));
    QStringList found;
    auto matches = pattern.globalMatch(text);
    while (matches.hasNext())
        found << matches.next().captured(0).remove(QLatin1Char('L'));
    found.sort();
    return found;
}

} // namespace

class TestTranslation : public QObject {
    Q_OBJECT

private slots:
    void sourceIsAGermanLinguistFile()
    {
        const TsFile ts = readTs(kTsFile);
        QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
        QVERIFY2(ts.language.startsWith(QLatin1String("de")), qPrintable(ts.language));
        QVERIFY(ts.messages.size() > 50);
    }

    void everyMessageIsFinished()
    {
        const TsFile ts = readTs(kTsFile);
        QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
        QVERIFY(!ts.messages.isEmpty());
        QStringList problems;
        for (const Message& message : ts.messages) {
            if (message.source.trimmed().isEmpty())
                problems << describe(message) + QStringLiteral(" has no source text");
            if (!message.type.isEmpty())
                problems << describe(message) + QStringLiteral(" is ") + message.type;
            if (message.translations.isEmpty())
                problems << describe(message) + QStringLiteral(" has no translation");
            for (const QString& translation : message.translations) {
                if (translation.trimmed().isEmpty())
                    problems << describe(message) + QStringLiteral(" has an empty translation");
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void translationsKeepThePlaceholders()
    {
        const TsFile ts = readTs(kTsFile);
        QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
        QStringList problems;
        for (const Message& message : ts.messages) {
            const QStringList expected = placeholders(message.source);
            for (const QString& translation : message.translations) {
                if (placeholders(translation) != expected)
                    problems << describe(message) + QStringLiteral(" -> \"%1\"").arg(translation);
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // Where the program looks when started from its own folder:
    // translations/qt_<locale>.qm, found for a German locale.
    void compiledFileLiesBesideTheExecutable()
    {
        const QFileInfo built(QDir(kQmDir).filePath(QStringLiteral("qt_de.qm")));
        QVERIFY2(built.isFile(), qPrintable(built.filePath()));
        QVERIFY(built.size() > 0);
        const QFileInfo expected(QDir(kAppDir).filePath(QStringLiteral("translations/qt_de.qm")));
        QCOMPARE(expected.canonicalFilePath(), built.canonicalFilePath());

        QTranslator translator;
        QVERIFY(translator.load(QLocale(QStringLiteral("de_DE")), QStringLiteral("qt"), QStringLiteral("_"),
                                QDir(kAppDir).filePath(QStringLiteral("translations")), QStringLiteral(".qm")));
        QVERIFY(!translator.isEmpty());
        QCOMPARE(translator.language(), QStringLiteral("de_DE"));
    }

    void translatesTextsOfSeveralContexts_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");

        QTest::newRow("state line") << "LibClient" << "NO LINK" << QStringLiteral("KEINE VERBINDUNG");
        QTest::newRow("row title") << "AppGridView" << "CRITICAL PRIORITY APPS"
                                   << QStringLiteral("APPS MIT KRITISCHER PRIORITÄT");
        QTest::newRow("update link") << "UpdateWindow" << "Download and install"
                                     << QStringLiteral("Herunterladen und installieren");
        QTest::newRow("settings title") << "AppSettings" << "NETWORK SETTINGS"
                                        << QStringLiteral("NETZWERKEINSTELLUNGEN");
        QTest::newRow("priority choice") << "PriorityItem" << "LOW" << QStringLiteral("NIEDRIG");
        QTest::newRow("chart time") << "SpeedChart" << "seconds" << QStringLiteral("in Sek.");
        QTest::newRow("tray menu") << "main" << "Quit" << QStringLiteral("Beenden");
    }

    void translatesTextsOfSeveralContexts()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, expected);

        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral("qt_de"), kQmDir));
        QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), expected);
    }

    // Every finished message of the source is in the compiled file as written.
    void compiledFileMatchesTheSource()
    {
        const TsFile ts = readTs(kTsFile);
        QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
        QVERIFY(!ts.messages.isEmpty());
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral("qt_de"), kQmDir));
        QStringList problems;
        for (const Message& message : ts.messages) {
            if (message.translations.size() != 1)
                continue;   // plural forms depend on a count
            const QByteArray context = message.context.toUtf8();
            const QByteArray source = message.source.toUtf8();
            const QString compiled = translator.translate(context.constData(), source.constData());
            if (compiled != message.translations.first())
                problems << describe(message) + QStringLiteral(" -> \"%1\"").arg(compiled);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The C++ side's tr() goes through the installed translator.
    void libClientStateTextsFollowTheTranslator()
    {
        QTemporaryDir noService;
        QVERIFY(noService.isValid());
        qputenv("KESTRIX_IPC_DIR", QFile::encodeName(noService.path()));
        LibClient client;

        QCOMPARE(client.getNicStateString(3), QStringLiteral("NO LINK"));

        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral("qt_de"), kQmDir));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        const QString noLink = client.getNicStateString(3);
        const QString noAdapter = client.getNicStateString(1);
        QCoreApplication::removeTranslator(&translator);
        qunsetenv("KESTRIX_IPC_DIR");

        QCOMPARE(noLink, QStringLiteral("KEINE VERBINDUNG"));
        QCOMPARE(noAdapter, QStringLiteral("KEIN KESTRIX-ADAPTER GEFUNDEN"));
    }
};

QTEST_GUILESS_MAIN(TestTranslation)
#include "tst_translation.moc"
