#include "gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QSysInfo>

#if defined(__GLIBC__)
#include <iconv.h>
#define LANGTUO_ICONV 1
#endif

namespace {

#ifdef LANGTUO_ICONV
const char* nativeUtf16() { return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE"; }

// All of the input or nothing.
bool convert(const char* to, const char* from, const char* in, size_t size, QByteArray& out)
{
    const iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return false;
    // Either way a character takes at most twice its bytes.
    out.resize(qsizetype(size) * 2 + 4);
    char* input = const_cast<char*>(in);
    size_t inputLeft = size;
    char* output = out.data();
    size_t outputLeft = size_t(out.size());
    const bool ok = iconv(cd, &input, &inputLeft, &output, &outputLeft) != size_t(-1) && inputLeft == 0
        && iconv(cd, nullptr, nullptr, &output, &outputLeft) != size_t(-1);
    iconv_close(cd);
    out.resize(out.size() - qsizetype(outputLeft));
    return ok;
}
#endif

} // namespace

bool gbkAvailable()
{
#ifdef LANGTUO_ICONV
    const iconv_t cd = iconv_open("GBK", nativeUtf16());
    if (cd != iconv_t(-1)) {
        iconv_close(cd);
        return true;
    }
#endif
    return QStringEncoder("GBK").isValid();
}

QByteArray toGbk(QStringView text)
{
    if (text.isEmpty())
        return QByteArray();
#ifdef LANGTUO_ICONV
    QByteArray out;
    if (convert("GBK", nativeUtf16(), reinterpret_cast<const char*>(text.utf16()), size_t(text.size()) * 2, out))
        return out;
#endif
    QStringEncoder encoder("GBK");
    return encoder(text);
}

QString fromGbk(QByteArrayView bytes, bool* valid)
{
    if (valid)
        *valid = true;
    if (bytes.isEmpty())
        return QString();
#ifdef LANGTUO_ICONV
    QByteArray out;
    if (convert(nativeUtf16(), "GBK", bytes.data(), size_t(bytes.size()), out))
        return QString(reinterpret_cast<const QChar*>(out.constData()), out.size() / 2);
#endif
    QStringDecoder decoder("GBK");
    const QString text = decoder(bytes);
    if (valid)
        *valid = !decoder.hasError();
    return text;
}
