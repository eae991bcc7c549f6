#pragma once
// What the JPEG decoder (stb_image 2.27) trusts and must not: its Huffman
// tables. Tables that claim more than 256 codes overrun its arrays as they
// are built, and a scan that decodes with a table the file never defined
// reads the decoder's uninitialised memory and indexes far outside it. Both
// were found by fuzzing the texture loader.
#include <cstdio>
#include <string>

// Walks the JPEG's marker segments from the stream's current position, as
// the decoder does (headers by their lengths, scans up to the next marker),
// checks every table's size and that every scan uses only tables defined
// before it (in a progressive JPEG a scan uses the DC tables only in its first
// DC pass and the AC tables only in AC passes). The position is restored.
// False with the reason in error; true also for files the decoder refuses by
// itself.
bool JpegTablesSound(std::FILE* file, std::string& error);
