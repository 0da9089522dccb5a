#include "Image.h"

Image Image::crop(int x, int y, int w, int h) const
{
    Image out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
        {
            const int sx = x + i, sy = y + j;
            if (sx >= 0 && sy >= 0 && sx < width && sy < height)
                out.at(i, j) = at(sx, sy);
        }
    return out;
}

void Image::paste(const Image& src, int x, int y) { paste(src, 0, 0, src.width, src.height, x, y); }

void Image::paste(const Image& src, int sx, int sy, int w, int h, int x, int y)
{
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
        {
            const int tx = x + i, ty = y + j, fx = sx + i, fy = sy + j;
            if (tx < 0 || ty < 0 || tx >= width || ty >= height)
                continue;
            if (fx < 0 || fy < 0 || fx >= src.width || fy >= src.height)
                continue;
            at(tx, ty) = src.at(fx, fy);
        }
}
