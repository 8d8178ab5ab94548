// Stand-in until the memory-card services are built: the enter and leave actions of overlay 3.
void Sys_CardOverlayEnter() {}
void Sys_CardOverlayLeave() {}
