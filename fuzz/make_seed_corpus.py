#!/usr/bin/env python3
"""Writes the seed corpus of the archive fuzzer: valid archives of several
shapes and broken ones that stop at each check of the reader."""
import os
import struct
import sys
import zlib

NONE = 0xFFFFFFFF


def u32(v):
    return struct.pack('<I', v & 0xFFFFFFFF)


def archive(entries, dir_compression=1, count=None):
    """entries: dicts with kind, name, content, child, next."""
    data = b''
    directory = u32(len(entries) if count is None else count)
    for e in entries:
        kind = e.get('kind', 0)
        content = e.get('content', b'')
        offset = size = packed = crc = 0
        if kind != 0:
            stored = content if kind == 1 else zlib.compress(content)
            offset, size = 8 + len(data), len(content)
            packed = 0 if kind == 1 else len(stored)
            crc = zlib.crc32(content)
            data += stored
        name = e['name'].encode('utf-16-le')
        directory += b''.join(u32(v) for v in (kind, offset, size, packed, crc, len(e['name']), 0,
                                                 e.get('child', NONE), e.get('next', NONE), NONE, NONE))
        directory += name + b'\0\0'
    body = b'file' + u32(len(data)) + data + b'mdir'
    if dir_compression == 1:
        section = u32(1) + u32(len(directory)) + u32(zlib.crc32(directory)) + directory
    else:
        packed = zlib.compress(directory) if dir_compression == 2 else directory
        section = u32(dir_compression) + u32(len(directory)) + u32(len(packed)) + u32(zlib.crc32(directory)) + packed
    body += u32(len(section)) + section
    return b'modl' + u32(1) + u32(1) + u32(len(body)) + u32(zlib.crc32(body)) + body


def fix(image):
    body = image[20:]
    return image[:12] + u32(len(body)) + u32(zlib.crc32(body)) + body


def main(out):
    os.makedirs(out, exist_ok=True)
    small = [dict(name='.', child=1), dict(name='data', child=2, next=3),
             dict(name='data\\module.xml', kind=1, content=b'<Module/>'),
             dict(name='scripts', child=4), dict(name='scripts\\a.j', kind=1, content=b'function a takes nothing')]
    packed = [dict(e, kind=2) if e.get('kind') else e for e in small]
    seeds = {
        'valid-plain': archive(small),
        'valid-deflate': archive(packed, 2),
        'valid-root-only': archive([dict(name='.')]),
        'valid-root-not-first': archive([dict(name='b', kind=1, content=b''), dict(name='.', child=2),
                                         dict(name='a', kind=1, content=b'x' * 300, next=0)], 2),
        'broken-magic': b'MODL' + archive(small)[4:],
        'broken-length': archive(small) + b'x',
        'broken-body-checksum': archive(small)[:-1] + b'?',
        'broken-no-root': archive([dict(name='x')]),
        'broken-loop': fix(archive([dict(name='.', child=1), dict(name='a', kind=1, content=b'1', next=2),
                                    dict(name='b', kind=1, content=b'2', next=1)])),
        'broken-codec': archive([dict(name='.', child=1), dict(name='a', kind=9, content=b'1')]),
        'broken-count': archive(small, count=0x7FFFFFFF),
        'broken-dir-codec': archive(small, 7),
        'truncated': fix(archive(packed, 2)[:60]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name + '.modl'), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus', 'archive'))
