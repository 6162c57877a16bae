package com.korvan.kvfmu.pack;

import java.nio.charset.StandardCharsets;

/**
 * documentation/licenses/windows-binaries.txt: the notices of the runtime libraries linked
 * into the Windows binaries, which their licences ask every copy to carry.
 */
final class WindowsNotices {
    static final String PATH = "documentation/licenses/windows-binaries.txt";

    private WindowsNotices() {}

    static byte[] text() {
        return """
            The Windows binaries (binaries/win64/) carry these runtime libraries, linked in:

            The GCC runtime libraries (libgcc, libstdc++), Copyright Free Software Foundation,
            Inc., under the GNU General Public License, version 3 or later, with version 3.1 of
            the GCC Runtime Library Exception, which lets programs built with GCC carry them
            under terms of their own.

            winpthreads of the MinGW-w64 project, Copyright (c) 2011-2016 mingw-w64 project,
            under this licence:

            Permission is hereby granted, free of charge, to any person obtaining a copy of this
            software and associated documentation files (the "Software"), to deal in the
            Software without restriction, including without limitation the rights to use, copy,
            modify, merge, publish, distribute, sublicense, and/or sell copies of the Software,
            and to permit persons to whom the Software is furnished to do so, subject to the
            following conditions:

            The above copyright notice and this permission notice shall be included in all
            copies or substantial portions of the Software.

            THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED,
            INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A
            PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT
            HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF
            CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE
            OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.
            """.getBytes(StandardCharsets.UTF_8);
    }
}
