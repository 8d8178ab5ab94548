// Stand-in for the disc layer until it is built: its start-up call and the frame callback that the
// packet-buffer set-up hands to the (inactive) vertical-blank hook.
void Sys_DiscInit()
{
}

void Sys_FrameCallback()
{
}
