#!/usr/bin/python3
"""OpenCV's non-local means on a colour photograph, reading and writing as a
user's script would: the comparison of bench/pihost-vs-opencv.sh.

    opencv_nlm.py IN.png OUT.png     filter IN with fastNlMeansDenoisingColored
                                     (h = hColor = 12, template 7, search 21)
    opencv_nlm.py --make SAMPLE OUT.png WxH
                                     the benchmark's photograph: SAMPLE scaled
                                     to cover WxH, cropped, with Gaussian noise
                                     of sigma 10 from a fixed seed
"""
import sys

import cv2
import numpy as np


def make(sample, out, size):
    width, height = (int(v) for v in size.split("x"))
    img = cv2.imread(sample, cv2.IMREAD_COLOR)
    side = max(width, height)
    big = cv2.resize(img, (side, side), interpolation=cv2.INTER_CUBIC)
    top, left = (side - height) // 2, (side - width) // 2
    big = big[top:top + height, left:left + width].astype(np.float32)
    noise = np.random.default_rng(1).normal(0.0, 10.0, big.shape)
    cv2.imwrite(out, np.clip(np.rint(big + noise), 0, 255).astype(np.uint8))


def denoise(src, dst):
    img = cv2.imread(src, cv2.IMREAD_COLOR)
    if img is None:
        sys.exit("opencv_nlm.py: cannot read " + src)
    out = cv2.fastNlMeansDenoisingColored(img, None, 12, 12, 7, 21)
    if not cv2.imwrite(dst, out):
        sys.exit("opencv_nlm.py: cannot write " + dst)


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--make":
        make(sys.argv[2], sys.argv[3], sys.argv[4])
    elif len(sys.argv) == 3:
        denoise(sys.argv[1], sys.argv[2])
    else:
        sys.exit(__doc__)
