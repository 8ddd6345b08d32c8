"""The faults the mutation check plants, one rule each: the file, the exact text to change
(it must occur once), what replaces it, the test program that must notice and its tests."""


def fault(area, id, what, file, find, plant, target, tests):
    return dict(area=area, id=id, what=what, file=file, find=find, plant=plant, target=target, tests=tests)


SYS = 'libbase/system/'
FAULTS = [
    # ---- System information
    fault('system', 'firstrun-kind', 'IsFirstRun ignores the kind of Windows', SYS + 'sys_machine.cpp',
          'DWORD kind = IsOSAtLeast(5, 0, 5, 0, 0) ? 2 : 1;', 'DWORD kind = 2;',
          'test_system', 'Machine.*'),
    fault('system', 'osatleast-9x-minor', 'IsOSAtLeast on 9x compares the minor with >', SYS + 'sys_machine.cpp',
          'vi.dwMinorVersion >= dw9xMinor', 'vi.dwMinorVersion > dw9xMinor', 'test_system', 'Machine.*'),
    fault('system', 'osatleast-sp-zero', 'the service-pack number is always 0', SYS + 'sys_machine.cpp',
          'return sp >= (int)dwServicePack ? 1 : 0;', 'return 0 >= (int)dwServicePack ? 1 : 0;',
          'test_system', 'Machine.*'),
    fault('system', 'my-documents-name', '"C:\\My Documents" becomes "C:\\Documents"', SYS + 'sys_folders.cpp',
          r'std::string path = "C:\\My Documents";', r'std::string path = "C:\\Documents";',
          'test_system', 'Folders.*'),
    fault('system', 'no-shell-code-2', 'the no-shell application-data code 2 becomes 0', SYS + 'sys_folders.cpp',
          'GetAppFolder(lpszBuf);\n            code = 2;', 'GetAppFolder(lpszBuf);\n            code = 0;',
          'test_system', 'Folders.*'),
    fault('system', 'appdata-no-maker', 'application data without the maker folder', SYS + 'sys_folders.cpp',
          r'base + "\\" + maker + "\\" + product', r'base + "\\" + product', 'test_system', 'Folders.*'),
    fault('system', 'program-files-name', '"c:\\Program Files" becomes "c:\\Programs"', SYS + 'sys_folders.cpp',
          r'PutPath(lpszBuf, "c:\\Program Files");', r'PutPath(lpszBuf, "c:\\Programs");',
          'test_system', 'Folders.*'),
    fault('system', 'music-no-registry', 'GetMyMusicFolder does not read the registry', SYS + 'sys_folders.cpp',
          'if (!ReadShellFolder("My Music", lpszBuf))\n        DocumentsSub(', 'DocumentsSub(',
          'test_system', 'Folders.*'),
    fault('system', 'common-appdata-no-retry', 'the machine-wide folder is not asked again as the user\'s',
          SYS + 'sys_folders.cpp', 'if (nFolder == SYS_CSIDL_COMMON_APPDATA && !lpszBuf[0])\n            ask(SYS_CSIDL_APPDATA);',
          '', 'test_system', 'Folders.*'),
    fault('system', 'shell-folder-any-type', 'a shell-folders value of any type is taken', SYS + 'sys_folders.cpp',
          '(type != REG_SZ && type != REG_EXPAND_SZ) || ', '', 'test_system', 'Folders.*'),
    fault('system', 'ie-version-any-type', 'the browser version of any type is taken', SYS + 'sys_machine.cpp',
          'type != REG_SZ || ', '', 'test_system', 'Machine.*'),
    fault('system', 'disk-fallback-32bit', 'the disk-space fallback counts in 32 bits', SYS + 'sys_machine.cpp',
          'result = (uint64_t)spc * bps * freeClusters;', 'result = (DWORD)(spc * bps * freeClusters);',
          'test_system', 'Machine.*'),

    # ---- Memory blocks and the array
    fault('memory', 'mkarray-no-self-copy', 'CMkArray does not copy its own element before growing', 'libbase/inc/mkarray',
          'if (&newElement >= m_pData && &newElement < m_pData + m_nSize) {', 'if (false) {',
          'test_libbase', 'MkArray.*'),
    fault('memory', 'mkarray-add-no-failure', 'Add returns the index when growth failed', 'libbase/inc/mkarray',
          'return m_nSize > nIndex ? nIndex : -1;', 'return nIndex;', 'test_libbase', 'MkArray.*'),
    fault('memory', 'album-bridge-no-free', 'the album bridge keeps the album\'s block', 'libbase/BaseMem.cpp',
          'HGLOBAL hCopy = GlobalToBaseMem(hAlbum);\n    GlobalFree(hAlbum);', 'HGLOBAL hCopy = GlobalToBaseMem(hAlbum);',
          'test_libbase', 'BaseMem*'),
    fault('memory', 'album-bridge-copy-global', 'global mode hands out a copy of the album\'s block', 'libbase/BaseMem.cpp',
          'if (!hAlbum || !g_huge)\n        return hAlbum;', 'if (!hAlbum)\n        return hAlbum;',
          'test_libbase', 'BaseMem*'),
    fault('memory', 'alloc-zero-refused', 'BaseMemAlloc refuses 0 bytes instead of passing them on', 'libbase/BaseMem.cpp',
          'MD_ASSERT(dwBytes);\n    return g_huge ? ZelMemAlloc', 'MD_ASSERT(dwBytes);\n    if (!dwBytes)\n        return 0;\n    return g_huge ? ZelMemAlloc',
          'test_libbase', 'BaseMem*'),
    # ---- Plug-in
    fault('plugin', 'setframe-nothing', 'SetFrame does nothing', 'plugin/res_plugin.cpp',
          'void CResPlugIn::SetFrame(IHostFrame *frame) { SetHostFrame(frame); }',
          'void CResPlugIn::SetFrame(IHostFrame *) {}', 'test_plugin', 'PlugIn*'),
    fault('plugin', 'attach-null-published', 'process attach succeeds without a plug-in', 'plugin/res_plugin.cpp',
          'if (!g_plugin)\n        return FALSE;', 'if (!g_plugin)\n        return TRUE;', 'test_plugin', 'PlugIn*'),
    fault('plugin', 'component-leaked', 'a component the array cannot hold is not destroyed', 'libbase/PlugInBase.cpp',
          '            // The array stays as it was; the component is not kept.\n            component->Destroy(1);',
          '', 'test_plugin', 'PlugIn*'),
    fault('plugin', 'resstring-wrong-slot', 'GetResString does not go through the provider', 'libbase/BaseFun.cpp',
          'if (provider->LoadResString((uint32_t)id, buffer, (int32_t)sizeof buffer) > 0)',
          'if (provider->LoadResString((uint32_t)id + 1, buffer, (int32_t)sizeof buffer) > 0)', 'test_plugin', 'PlugIn*'),
    # ---- WSP table
    fault('wsp', 'wsp-swap-06-07', 'content types 0x06 and 0x07 swapped', 'libbase/transfer/wsp_codec.cpp',
          '"text/x-vCalendar", "text/x-vCard",', '"text/x-vCard", "text/x-vCalendar",', 'test_transfer', 'Wsp*'),
    fault('wsp', 'wsp-misspell-14', 'content type 0x14 misspelt', 'libbase/transfer/wsp_codec.cpp',
          '"application/vnd.wap.wmlc",', '"application/vnd.wap.wmlc ",', 'test_transfer', 'Wsp*'),
    fault('wsp', 'wsp-charset-name', 'charset 106 read back as "utf-8"', 'libbase/transfer/wsp_codec.cpp',
          '{106, "utf_8", {', '{106, "utf-8", {', 'test_transfer', 'Wsp*'),
]
