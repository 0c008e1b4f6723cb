#include "messagecapture.h"
#include "models/appitem.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kDefaultIcon = QStringLiteral("qrc:/res/default_app_icon.png");

QByteArray pngBytes()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An explicit modification time keeps the tests independent of the clock.
bool writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()
        || !file.flush())
        return false;
    return !modified.isValid() || file.setFileTime(modified, QFileDevice::FileModificationTime);
}

} // namespace

class TestAppItem : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void defaultsAndAdaptedPriority();
    void iconGoodImageBecomesFileUrl();
    void iconUnusableGivesDefault_data();
    void iconUnusableGivesDefault();
    void iconTextWithFileSchemeIsTakenAsIs();
    void iconNoticesFileTurningIntoImage();
    void debugPrintWritesFieldsInOrder();

private:
    QTemporaryDir m_dir;
};

void TestAppItem::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeFile(m_dir.filePath("icon.png"), pngBytes()));
    QVERIFY(writeFile(m_dir.filePath("icon.bin"), pngBytes()));
    QVERIFY(writeFile(m_dir.filePath("notes.png"), "not a picture\n"));
    QVERIFY(QDir(m_dir.path()).mkdir("folder.png"));
}

void TestAppItem::defaultsAndAdaptedPriority()
{
    AppItem item(4000000000u);
    QCOMPARE(item.id(), 4000000000u);
    QCOMPARE(item.pin(), false);
    QCOMPARE(item.priority(), 0);
    QCOMPARE(item.downloadSpeed() + item.uploadSpeed() + item.processClass(), 0u);
    QCOMPARE(item.iconPath(), kDefaultIcon);
    QVERIFY(item.name().isEmpty());
    QCOMPARE(item.type(), AppItem::APP_TYPE_NONE);
    for (int level = 1; level <= 4; ++level) {
        item.setPriority(level);
        QCOMPARE(item.adaptedPriority(), -level);
    }
}

void TestAppItem::iconGoodImageBecomesFileUrl()
{
    const QString path = m_dir.filePath("icon.bin");   // known by content, not by name
    AppItem item(1);
    item.setIconPath(path);
    QCOMPARE(item.iconPath(), "file://" + path);
    QCOMPARE(QUrl(item.iconPath()).toLocalFile(), path);
    item.setIconPath(item.iconPath());   // equal: kept, though the URL names no file
    QCOMPARE(item.iconPath(), "file://" + path);
}

void TestAppItem::iconUnusableGivesDefault_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("missing file") << m_dir.filePath("missing.png");
    QTest::newRow("directory") << m_dir.filePath("folder.png");
    QTest::newRow("text file named .png") << m_dir.filePath("notes.png");
    QTest::newRow("empty") << QString();
}

void TestAppItem::iconUnusableGivesDefault()
{
    QFETCH(QString, text);
    AppItem item(1);
    item.setIconPath(m_dir.filePath("icon.png"));   // a good icon that has to go
    QVERIFY(item.iconPath() != kDefaultIcon);
    item.setIconPath(text);
    QCOMPARE(item.iconPath(), kDefaultIcon);
}

void TestAppItem::iconTextWithFileSchemeIsTakenAsIs()
{
    // A relative name that begins with "file:" names a real file here.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY(writeFile("file:icon.png", pngBytes()));
    AppItem item(1);
    item.setIconPath("file:icon.png");
    QDir::setCurrent(previous);
    QCOMPARE(item.iconPath(), QStringLiteral("file:icon.png"));
}

void TestAppItem::iconNoticesFileTurningIntoImage()
{
    const QString path = m_dir.filePath("changing.png");
    const QByteArray png = pngBytes();
    const QDateTime earlier = QDateTime::currentDateTime().addSecs(-600);
    const QDateTime later = earlier.addSecs(60);
    AppItem item(1);
    QVERIFY(writeFile(path, QByteArray(png.size(), 'x'), earlier));
    item.setIconPath(path);
    QCOMPARE(item.iconPath(), kDefaultIcon);
    QVERIFY(writeFile(path, png, later));   // same size, newer
    item.setIconPath(path);
    QCOMPARE(item.iconPath(), "file://" + path);
    QVERIFY(writeFile(path, "plain text", later));   // other size, same time
    item.setIconPath(path);
    QCOMPARE(item.iconPath(), kDefaultIcon);
}

void TestAppItem::debugPrintWritesFieldsInOrder()
{
    AppItem item(7);
    item.setName("Browser");
    item.setType(AppItem::APP_TYPE_SITE);
    item.setPriority(3);
    item.setDownloadSpeed(20);
    item.setProcessClass(4);
    item.setUploadSpeed(10);
    MessageCapture log;
    item.debugPrint();
    QCOMPARE(log.lines(),
             QStringList{"AppItem::debugPrint id  7  name  \"Browser\"  type  2  priority  3 "
                         " iconPath  \"qrc:/res/default_app_icon.png\"  downloadSpeed  20 "
                         " process class  4  uploadSpeed  10"});
}

QTEST_GUILESS_MAIN(TestAppItem)
#include "tst_appitem.moc"
