#include "tiffreference.h"

#include <QTemporaryDir>

#include <tiffio.h>

namespace {

QString g_lastError;

void OnTiffError(const char* module, const char* fmt, va_list ap) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    g_lastError = QString::fromLocal8Bit(module ? module : "") + QStringLiteral(": ") +
                  QString::fromLocal8Bit(text);
}

void OnTiffWarning(const char*, const char*, va_list) {}

} // namespace

QByteArray DecodeWithLibtiff(const QByteArray& code, int width, int lines, QString* error) {
    TIFFSetErrorHandler(OnTiffError);
    TIFFSetWarningHandler(OnTiffWarning);
    g_lastError.clear();
    QTemporaryDir dir;
    const QByteArray path = (dir.path() + QStringLiteral("/code.tif")).toLocal8Bit();
    TIFF* out = TIFFOpen(path.constData(), "w");
    if (!out) {
        *error = QStringLiteral("cannot write ") + QString::fromLocal8Bit(path);
        return {};
    }
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, lines);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, lines);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0); // one-dimensional, no fill bits required
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    // Group 3 streams put an end-of-line code before every line; ours follow every line, so
    // one more at the front lines them up.
    QByteArray stream = QByteArray::fromHex("0001") + code;
    if (TIFFWriteRawStrip(out, 0, stream.data(), stream.size()) < 0) {
        *error = QStringLiteral("cannot write the strip: ") + g_lastError;
        TIFFClose(out);
        return {};
    }
    TIFFClose(out);

    TIFF* in = TIFFOpen(path.constData(), "r");
    if (!in) {
        *error = QStringLiteral("cannot read back: ") + g_lastError;
        return {};
    }
    const int stride = (width + 7) / 8;
    QByteArray rows(qsizetype(stride) * lines, '\0');
    for (int y = 0; y < lines; ++y) {
        if (TIFFReadScanline(in, rows.data() + qsizetype(y) * stride, uint32_t(y)) < 0) {
            *error = QStringLiteral("line %1: ").arg(y) + g_lastError;
            TIFFClose(in);
            return {};
        }
    }
    TIFFClose(in);
    if (!g_lastError.isEmpty()) {
        *error = g_lastError;
        return {};
    }
    return rows;
}
