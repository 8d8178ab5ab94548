// The archive packer: a tree of directories and files becomes the index and data files the
// archive reader opens (layout in core/archive.h).
//
// Layout choices: the top-level list holds only the root. The root and every directory with
// subdirectories own a listing block; a leaf directory keeps its entries in its parent's block
// (unless that block would grow past 8191 records). Each directory's header entry (unnamed) points
// at its companion file: row 0 the directory's title, row k + 1 the shown name of file k. The data
// file holds, directory by directory in node order, the block (for owners), the companion file and
// the files, each from a fresh sector.
//
// On disk a directory may hold "_names.txt": "= Title" sets the title, "NAME = Shown name" the
// name shown for file NAME. Other names must be 1-8 printable ASCII characters without '/' or '\'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PACKFILE
{
    std::string name;  // entry name, 1-8 characters, case kept
    std::string shown; // companion row; empty means the name
    std::vector<uint8_t> data;
};

struct PACKDIR
{
    std::string name;  // empty for the root
    std::string title; // companion row 0; empty means the name
    std::vector<PACKFILE> files;
    std::vector<PACKDIR> dirs;
};

struct PACKOPTIONS
{
    std::string discName = "TONNIVELLE";
    uint16_t discNumber = 0;
};

// Reads a folder tree (sorted by name). false with a message in err on a bad name or read error.
bool Pack_ReadTree(const std::string &folder, PACKDIR &out, std::string &err);
// Lays the tree out into the two files. false with a message in err when it cannot be packed.
bool Pack_Build(const PACKDIR &root, const PACKOPTIONS &options, std::vector<uint8_t> &index,
                std::vector<uint8_t> &data, std::string &err);
// Writes "demowad.IND" and "demowad.WAD" into folder (created when missing).
bool Pack_WriteArchive(const std::string &folder, const std::vector<uint8_t> &index,
                       const std::vector<uint8_t> &data, std::string &err);
// Finds a directory by a '/'-separated path below root (case-insensitive), creating missing ones.
PACKDIR &Pack_Dir(PACKDIR &root, const std::string &path);
