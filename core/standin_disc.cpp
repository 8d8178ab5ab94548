// Stand-in until the disc layer's frame callback is built: the packet-buffer set-up hands it to the
// (inactive) vertical-blank hook, so it never runs.
void Sys_FrameCallback()
{
}
