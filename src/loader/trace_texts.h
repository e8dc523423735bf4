// The loader's trace texts, as code page 932 byte strings.
#pragma once

// 読み込みエラー: read error
inline constexpr char kTraceReadError[] = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83G\x83\x89\x81[\n";
// BITMAPではありません: not a bitmap
inline constexpr char kTraceNotBitmap[] = "BITMAP\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";
// declared file size
inline constexpr char kTraceFileSize[] = "%d byte\n";
// %d 画像データまでのオフセット: offset to the image data
inline constexpr char kTraceOffBits[] =
    "%d \x89\xE6\x91\x9C\x83"
    "f\x81[\x83^\x82\xDC\x82\xC5\x82\xCC\x83I\x83t\x83Z\x83"
    "b\x83g\n";
// メモリ確保エラー: memory allocation error
inline constexpr char kTraceAllocError[] = "\x83\x81\x83\x82\x83\x8A\x8Am\x95\xDB\x83G\x83\x89\x81[\n";
// 読み込みエラー2: read error 2
inline constexpr char kTraceReadError2[] = "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83G\x83\x89\x81[2\n";
// bytes actually read
inline constexpr char kTraceBytesRead[] = "%d\n";
// %d byte 情報ヘッダのサイズ: size of the info header, in bytes
inline constexpr char kTraceHeaderSize[] =
    "%d byte \x8F\xEE\x95\xF1\x83w\x83"
    "b\x83_\x82\xCC\x83T\x83"
    "C\x83Y\n";
// a text
inline constexpr char kTraceText[] = "%s\n";
// OS2フォーマット: OS/2 format
inline constexpr char kTextCoreFormat[] =
    "OS2\x83t\x83H\x81[\x83}\x83"
    "b\x83g";
// %d pix 画像の幅: image width
inline constexpr char kTraceWidth[] = "%d pix \x89\xE6\x91\x9C\x82\xCC\x95\x9D\n";
// %d pix 画像の高さ: image height
inline constexpr char kTraceHeight[] = "%d pix \x89\xE6\x91\x9C\x82\xCC\x8D\x82\x82\xB3\n";
// %d bit 1画素あたりのbit数: bits per pixel
inline constexpr char kTraceBitCount[] =
    "%d bit 1\x89\xE6\x91"
    "f\x82\xA0\x82\xBD\x82\xE8\x82\xCC"
    "bit\x90\x94\n";
// %d 画像データのサイズ: size of the image data
inline constexpr char kTraceSizeImage[] =
    "%d \x89\xE6\x91\x9C\x83"
    "f\x81[\x83^\x82\xCC\x83T\x83"
    "C\x83Y\n";
// %d 圧縮形式: compression format
inline constexpr char kTraceCompression[] = "%d \x88\xB3\x8Fk\x8C`\x8E\xAE\n";
// %d ppm 水平解像度: horizontal resolution
inline constexpr char kTraceXPels[] = "%d ppm \x90\x85\x95\xBD\x89\xF0\x91\x9C\x93x\n";
// %d ppm 垂直解像度: vertical resolution
inline constexpr char kTraceYPels[] = "%d ppm \x90\x82\x92\xBC\x89\xF0\x91\x9C\x93x\n";
// %d パレットの色数: number of palette colours
inline constexpr char kTraceClrUsed[] =
    "%d \x83p\x83\x8C\x83"
    "b\x83g\x82\xCC\x90"
    "F\x90\x94\n";
// %x 重要のパレットのインデックス: index of the important palette colours, in hexadecimal
inline constexpr char kTraceClrImportant[] =
    "%x \x8F"
    "d\x97v\x82\xCC\x83p\x83\x8C\x83"
    "b\x83g\x82\xCC\x83"
    "C\x83\x93\x83"
    "f\x83"
    "b\x83N\x83X\n";
