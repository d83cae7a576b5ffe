#include "shell/OperationLog.h"

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>

namespace quorvin::shell {

namespace {

const QString kNsS = QStringLiteral("uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
const QString kNsDt = QStringLiteral("uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
const QString kNsRs = QStringLiteral("urn:schemas-microsoft-com:rowset");
const QString kNsZ = QStringLiteral("#RowsetSchema");
// The date-time form of the rowset's dateTime type.
const QString kDateForm = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

struct FieldDef {
    const char* name;
    bool isDate;
};
// The log's fields, in their order.
constexpr std::array<FieldDef, 4> kFields = {{
    {"DataOra", true},
    {"FileName", false},
    {"Message", false},
    {"Function", false},
}};

std::string Cut(const std::string& text) {
    const QString value = QString::fromStdString(text);
    return value.size() <= OperationLog::kFieldSize
               ? text
               : value.left(OperationLog::kFieldSize).toStdString();
}

// Text XML 1.0 can hold: a control character (an odd file name, a broken character map)
// becomes U+FFFD instead of making the whole log unwritable.
QString XmlText(const std::string& text) {
    QString value = QString::fromStdString(text);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        const bool control = c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D;
        const bool high = QChar::isHighSurrogate(c);
        const bool paired =
            high && i + 1 < value.size() && QChar::isLowSurrogate(value[i + 1].unicode());
        if (control || c == 0xFFFE || c == 0xFFFF || (high && !paired) ||
            QChar::isLowSurrogate(c)) {
            value[i] = QChar(QChar::ReplacementCharacter);
        } else if (paired) {
            ++i;
        }
    }
    return value;
}

QString FieldValue(const LogRecord& record, size_t index) {
    switch (index) {
    case 0:
        return record.dataOra.toString(kDateForm);
    case 1:
        return XmlText(record.fileName);
    case 2:
        return XmlText(record.message);
    default:
        return XmlText(record.function);
    }
}

void SetField(LogRecord& record, const QStringView name, const QString& value) {
    if (name == u"DataOra") {
        record.dataOra = QDateTime::fromString(value, kDateForm);
    } else if (name == u"FileName") {
        record.fileName = value.toStdString();
    } else if (name == u"Message") {
        record.message = value.toStdString();
    } else if (name == u"Function") {
        record.function = value.toStdString();
    }
}

void WriteSchema(QXmlStreamWriter& xml) {
    xml.writeStartElement(kNsS, QStringLiteral("Schema"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("RowsetSchema"));
    xml.writeStartElement(kNsS, QStringLiteral("ElementType"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("row"));
    xml.writeAttribute(QStringLiteral("content"), QStringLiteral("eltOnly"));
    xml.writeAttribute(kNsRs, QStringLiteral("updatable"), QStringLiteral("true"));
    for (size_t i = 0; i < kFields.size(); ++i) {
        xml.writeStartElement(kNsS, QStringLiteral("AttributeType"));
        xml.writeAttribute(QStringLiteral("name"), QString::fromLatin1(kFields[i].name));
        xml.writeAttribute(kNsRs, QStringLiteral("number"), QString::number(i + 1));
        xml.writeAttribute(kNsRs, QStringLiteral("nullable"), QStringLiteral("true"));
        xml.writeAttribute(kNsRs, QStringLiteral("write"), QStringLiteral("true"));
        xml.writeStartElement(kNsS, QStringLiteral("datatype"));
        if (kFields[i].isDate) {
            xml.writeAttribute(kNsDt, QStringLiteral("type"), QStringLiteral("dateTime"));
            xml.writeAttribute(kNsRs, QStringLiteral("dbtype"), QStringLiteral("variantdate"));
            xml.writeAttribute(kNsDt, QStringLiteral("maxLength"), QStringLiteral("16"));
            xml.writeAttribute(kNsRs, QStringLiteral("fixedlength"), QStringLiteral("true"));
        } else {
            xml.writeAttribute(kNsDt, QStringLiteral("type"), QStringLiteral("string"));
            xml.writeAttribute(kNsDt, QStringLiteral("maxLength"),
                               QString::number(OperationLog::kFieldSize));
        }
        xml.writeEndElement(); // datatype
        xml.writeEndElement(); // AttributeType
    }
    xml.writeStartElement(kNsS, QStringLiteral("extends"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("rs:rowbase"));
    xml.writeEndElement();
    xml.writeEndElement(); // ElementType
    xml.writeEndElement(); // Schema
}

} // namespace

void OperationLog::Append(LogRecord record) {
    record.fileName = Cut(record.fileName);
    record.message = Cut(record.message);
    record.function = Cut(record.function);
    m_records.push_back(std::move(record));
}

bool OperationLog::Save(const std::string& path, std::string& error) const {
    // Written whole or not at all: a reader never sees half a log.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    // A log names clients and files: its owner's alone.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeNamespace(kNsS, QStringLiteral("s"));
    xml.writeNamespace(kNsDt, QStringLiteral("dt"));
    xml.writeNamespace(kNsRs, QStringLiteral("rs"));
    xml.writeNamespace(kNsZ, QStringLiteral("z"));
    xml.writeStartElement(QStringLiteral("xml"));
    WriteSchema(xml);
    xml.writeStartElement(kNsRs, QStringLiteral("data"));
    for (const auto& record : m_records) {
        xml.writeStartElement(kNsZ, QStringLiteral("row"));
        for (size_t i = 0; i < kFields.size(); ++i) {
            xml.writeAttribute(QString::fromLatin1(kFields[i].name), FieldValue(record, i));
        }
        xml.writeEndElement();
    }
    xml.writeEndElement(); // rs:data
    xml.writeEndElement(); // xml
    if (xml.hasError()) {
        file.cancelWriting();
        error = "errore di scrittura XML";
        return false;
    }
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

bool OperationLog::Load(const std::string& path, std::vector<LogRecord>& records,
                        std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    std::vector<LogRecord> loaded;
    bool inData = false;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.namespaceUri() == kNsRs && xml.name() == u"data") {
            inData = true;
        } else if (xml.isEndElement() && xml.namespaceUri() == kNsRs && xml.name() == u"data") {
            inData = false;
        } else if (inData && xml.isStartElement() && xml.namespaceUri() == kNsZ &&
                   xml.name() == u"row") {
            // Rows pending insertion sit inside rs:insert; they are rows all the same.
            LogRecord record;
            for (const auto& attribute : xml.attributes()) {
                SetField(record, attribute.name(), attribute.value().toString());
            }
            loaded.push_back(std::move(record));
        }
    }
    if (xml.hasError()) {
        error = xml.errorString().toStdString();
        return false;
    }
    records = std::move(loaded);
    return true;
}

std::string FormatLogTable(const std::vector<LogRecord>& records) {
    std::vector<std::array<QString, 4>> rows;
    rows.push_back({QStringLiteral("DataOra"), QStringLiteral("File"), QStringLiteral("Messaggio"),
                    QStringLiteral("Funzione")});
    for (const auto& record : records) {
        rows.push_back({record.dataOra.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                        QString::fromStdString(record.fileName),
                        QString::fromStdString(record.message),
                        QString::fromStdString(record.function)});
    }
    std::array<qsizetype, 4> widths{};
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    std::string out;
    for (const auto& row : rows) {
        QString line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c] + 2) : row[c];
        }
        out += line.trimmed().toStdString() + "\n";
    }
    return out;
}

} // namespace quorvin::shell
