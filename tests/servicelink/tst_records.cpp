// The shared records are a binary contract: these tests write known bytes
// through the structs and read them back at the raw offsets the service
// uses, and check the text rules of the 260-unit fields.

#include "linktestsupport.h"

#include <QtTest>

#include <cstring>

using namespace servicelink;
using namespace linktest;

namespace {

template <typename T>
std::uint32_t u32At(const T& object, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const std::uint8_t*>(&object) + offset, sizeof value);
    return value;
}

template <typename T>
std::uint64_t u64At(const T& object, std::size_t offset)
{
    std::uint64_t value = 0;
    std::memcpy(&value, reinterpret_cast<const std::uint8_t*>(&object) + offset, sizeof value);
    return value;
}

template <typename T>
char16_t unitAt(const T& object, std::size_t offset)
{
    char16_t value = 0;
    std::memcpy(&value, reinterpret_cast<const std::uint8_t*>(&object) + offset, sizeof value);
    return value;
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void appRecordFieldsLandAtTheirOffsets()
    {
        AppRecord rec{};
        rec.sequence = 0x1122334455667788ull;
        rec.mark = 0xA1A2A3A4u;
        rec.id = 0xB1B2B3B4u;
        rec.payload.id = 0xC1C2C3C4u;
        rec.payload.isPinned = 1;
        rec.payload.downloadSpeed = 0xD1D2D3D4u;
        rec.payload.uploadSpeed = 0xE1E2E3E4u;
        rec.payload.priority = 3;
        rec.payload.processClass = 0xF1F2F3F4u;
        rec.payload.name[0] = u'n';
        rec.payload.iconPath[0] = u'i';
        rec.payload.reservedText[259] = u'r';

        QCOMPARE(u64At(rec, 0), 0x1122334455667788ull);
        QCOMPARE(u32At(rec, 8), 0xA1A2A3A4u);
        QCOMPARE(u32At(rec, 12), 0xB1B2B3B4u);
        QCOMPARE(u32At(rec, 16 + 0), 0xC1C2C3C4u);
        QCOMPARE(reinterpret_cast<const std::uint8_t*>(&rec)[16 + 4], std::uint8_t(1));
        QCOMPARE(u32At(rec, 16 + 8), 0xD1D2D3D4u);
        QCOMPARE(u32At(rec, 16 + 12), 0xE1E2E3E4u);
        QCOMPARE(u32At(rec, 16 + 16), 3u);
        QCOMPARE(u32At(rec, 16 + 20), 0xF1F2F3F4u);
        QCOMPARE(unitAt(rec, 16 + 24), u'n');
        QCOMPARE(unitAt(rec, 16 + 544), u'i');
        QCOMPARE(unitAt(rec, 16 + 1064 + 2 * 259), u'r');
        QCOMPARE(sizeof(rec), std::size_t(1600));
    }

    void siteRecordIsPaddedTo1080()
    {
        SiteRecord rec{};
        rec.payload.priority = 2;
        rec.payload.uploadSpeed = 77;
        rec.payload.name[0] = u'x';
        rec.payload.iconPath[259] = u'y';
        QCOMPARE(u32At(rec, 16 + 16), 2u);
        QCOMPARE(u32At(rec, 16 + 12), 77u);
        QCOMPARE(unitAt(rec, 16 + 20), u'x');
        QCOMPARE(unitAt(rec, 16 + 540 + 2 * 259), u'y');
        // The 17th site record starts at 16 + 16 * 1080.
        QCOMPARE(16 + 16 * sizeof(SiteRecord), std::size_t(17296));
    }

    void parameterValueFollowsTheHead()
    {
        ParameterRecord rec = parameter(9, 4, 0xCAFEBABEu);
        QCOMPARE(u32At(rec, 16), 0xCAFEBABEu);
        QCOMPARE(u32At(rec, 12), 4u);
        QCOMPARE(sizeof(rec), std::size_t(24));
    }

    void defaultsAreThoseRequestsStartFrom()
    {
        const AppInfo app{};
        QCOMPARE(app.priority, 4u);
        QCOMPARE(app.id, 0u);
        QCOMPARE(app.isPinned, std::uint8_t(0));
        QCOMPARE(textFromField(app.name).size(), std::size_t(0));
        const SiteInfo site{};
        QCOMPARE(site.priority, 4u);
        // A default record must not carry stray bytes into the region.
        const AppRecord rec{};
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&rec);
        int nonZero = 0;
        for (std::size_t i = 0; i < sizeof rec; ++i)
            nonZero += bytes[i] != 0 ? 1 : 0;
        QCOMPARE(nonZero, 1);   // the priority's low byte
    }

    void textRules()
    {
        VlString field{};
        // Shorter text: NUL behind it, read back exactly.
        QVERIFY(textToField(field.text, u"eth0"));
        QCOMPARE(textFromField(field.text), std::u16string(u"eth0"));
        QCOMPARE(field.text[4], u'\0');

        // Exactly 260 units: no NUL, read as all 260.
        const std::u16string full(260, u'w');
        QVERIFY(textToField(field.text, full));
        QCOMPARE(textFromField(field.text), full);

        // Longer: cut to 260 and reported.
        QVERIFY(!textToField(field.text, std::u16string(300, u'z')));
        QCOMPARE(textFromField(field.text), std::u16string(260, u'z'));

        // A field without NUL written by a peer is read as 260 units, never more.
        AppInfo app{};
        for (auto& unit : app.name)
            unit = u'a';
        app.iconPath[0] = u'b';   // the bytes right behind the name
        QCOMPARE(textFromField(app.name).size(), std::size_t(260));

        // Rewriting a shorter text clears the old tail.
        QVERIFY(textToField(field.text, u"ab"));
        QCOMPARE(field.text[259], u'\0');
        QCOMPARE(textFromField(field.text), std::u16string(u"ab"));
    }

    void nonAsciiTextSurvives()
    {
        VlString field{};
        const std::u16string text = u16("Intel® Ethernet Ärger 🚀");
        QVERIFY(textToField(field.text, text));
        QCOMPARE(textFromField(field.text), text);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
