// The data archive ("demowad.IND" / "demowad.WAD") read through the disc file layer.
#pragma once

// Last archive or disc error: 1 listing buffer, 2 no index or bad index, 3 no disc, 4 not a data
// disc, 5 archive reopen failed.
extern int g_iDiscError;

// 1 on success, 0 on failure. Mode bit 0 keeps a listing buffer.
int Sys_WadOpen(const char *dataName, const char *indexName, int mode);
void Sys_WadClose();
