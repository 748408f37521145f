// Real media files for the window's tests, made by the tests themselves:
// pictures of the five previewable types, a MIDI and a WAV melody, an MLD
// melody with a title.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <cmath>
#include <cstdint>
#include <string>

namespace fenmora::testcard {

// A picture of one colour in the format Qt writes ("JPG", "PNG", "BMP",
// "TIF"); GIF is written by SolidGif.
inline std::string SolidPicture(int width, int height, QColor colour, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.write(image)) return {};
  return bytes.toStdString();
}

// A GIF of one colour. Qt reads GIFs but does not write them: a two-entry
// palette, and an LZW stream that sends a clear code before every pixel so
// that each code stays 3 bits wide (clear 4, end 5, pixel 0).
inline std::string SolidGif(int width, int height, QColor colour) {
  std::string gif = "GIF89a";
  auto put16 = [&](int v) {
    gif += static_cast<char>(v & 255);
    gif += static_cast<char>((v >> 8) & 255);
  };
  put16(width);
  put16(height);
  gif += static_cast<char>(0x80);  // global palette of 2 entries
  gif += '\0';
  gif += '\0';
  gif += static_cast<char>(colour.red());
  gif += static_cast<char>(colour.green());
  gif += static_cast<char>(colour.blue());
  gif += std::string(3, '\0');
  gif += static_cast<char>(0x2C);
  put16(0);
  put16(0);
  put16(width);
  put16(height);
  gif += '\0';
  gif += static_cast<char>(2);  // minimum code size
  std::string data;
  std::uint32_t bits = 0;
  int used = 0;
  auto code = [&](std::uint32_t c) {
    bits |= c << used;
    used += 3;
    while (used >= 8) {
      data += static_cast<char>(bits & 255);
      bits >>= 8;
      used -= 8;
    }
  };
  for (long i = 0; i < static_cast<long>(width) * height; ++i) {
    code(4);
    code(0);
  }
  code(5);
  if (used > 0) data += static_cast<char>(bits & 255);
  for (size_t at = 0; at < data.size(); at += 255) {
    const std::string block = data.substr(at, 255);
    gif += static_cast<char>(block.size());
    gif += block;
  }
  gif += '\0';
  gif += ';';
  return gif;
}

// A Standard MIDI File: a piano's middle C held for two seconds.
inline std::string PianoMidi() {
  const std::string track("\x00\xC0\x00"          // program change: piano
                          "\x00\x90\x3C\x70"      // note on C4
                          "\x8F\x00\x80\x3C\x40"  // 1920 ticks later: note off
                          "\x00\xFF\x2F\x00",     // end of track
                          16);
  std::string smf("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14);
  smf += "MTrk";
  smf += std::string(3, '\0');
  smf += static_cast<char>(track.size());
  return smf + track;
}

// A mono 16-bit WAV of a 440 Hz tone.
inline std::string ToneWav(double seconds) {
  const int rate = 22050;
  const int n = static_cast<int>(seconds * rate);
  std::string b = "RIFF";
  auto put16 = [&](int v) {
    b += static_cast<char>(v & 255);
    b += static_cast<char>((v >> 8) & 255);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(static_cast<int>(v & 0xFFFF));
    put16(static_cast<int>(v >> 16));
  };
  put32(static_cast<std::uint32_t>(36 + n * 2));
  b += "WAVEfmt ";
  put32(16);
  put16(1);
  put16(1);
  put32(rate);
  put32(rate * 2);
  put16(2);
  put16(16);
  b += "data";
  put32(static_cast<std::uint32_t>(n * 2));
  for (int i = 0; i < n; ++i)
    put16(static_cast<int>(std::lround(12000 * std::sin(2 * M_PI * 440 * i / rate))));
  return b;
}

// An MLD melody whose "titl" chunk holds the CP932 title.
inline std::string MldWithTitle(const std::string& cp932Title) {
  auto be16 = [](size_t v) { return std::string{static_cast<char>((v >> 8) & 255), static_cast<char>(v & 255)}; };
  std::string chunks = "titl" + be16(cp932Title.size()) + cp932Title;
  chunks += "sorc" + be16(1) + std::string(1, '\0');
  std::string body = be16(3 + chunks.size()) + std::string("\x01\x00\x01", 3) + chunks;
  const size_t length = body.size();
  return "melo" + std::string{static_cast<char>((length >> 24) & 255), static_cast<char>((length >> 16) & 255),
                              static_cast<char>((length >> 8) & 255), static_cast<char>(length & 255)} +
         body;
}

}  // namespace fenmora::testcard
