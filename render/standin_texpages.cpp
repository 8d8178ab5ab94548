// Stand-in for the texture-page set-up until the texture pages are built.
void Gfx_InitTexturePages()
{
}
