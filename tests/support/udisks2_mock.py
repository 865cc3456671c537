'''UDisks2 as far as Tessaro uses it, as a python-dbusmock template (Debian 12's dbusmock has none).

Drives and their block devices under /org/freedesktop/UDisks2, media put in and taken out the
way the real service shows it: a disc in an optical drive changes the properties of the
drive's block device and adds its Filesystem interface; a USB stick adds objects of its own.
Filesystem.Mount answers with the mount point the medium was given, or fails when it has none;
a mount point written "slow:/path" is answered after 3 s, as a drive spinning up.

Parameters (JSON): {"system_disks": ["sda1", ...], "optical_drives": ["sr0", ...], "media":
[MEDIUM, ...]}: disks of the machine (mounted at /), empty optical drives, and the media
present at start, each as InsertMedium takes them (name, label, uuid, optical, mount_point),
and "mounted": true for one already mounted there.

Driven through org.freedesktop.DBus.Mock on /org/freedesktop/UDisks2:
  InsertMedium(name, label, uuid, optical, mount_point)  name such as "sr0" or "sdb1"
  RemoveMedium(name)
'''

import time

import dbus
from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2'
MAIN_IFACE = 'org.freedesktop.UDisks2.Manager'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

BLOCK = 'org.freedesktop.UDisks2.Block'
FILESYSTEM = 'org.freedesktop.UDisks2.Filesystem'
DRIVE = 'org.freedesktop.UDisks2.Drive'
MOCK = mockobject.MOCK_IFACE


def _bytes(text):
    return dbus.Array([dbus.Byte(b) for b in text.encode() + b'\0'], signature='y')


def _block_path(name):
    return MAIN_OBJ + '/block_devices/' + name


def _drive_path(name):
    return MAIN_OBJ + '/drives/' + name


def _empty_block(name, drive, optical):
    return {
        'Device': _bytes('/dev/' + name),
        'PreferredDevice': _bytes('/dev/' + name),
        'Size': dbus.UInt64(0),
        'IdUsage': '',
        'IdType': '',
        'IdLabel': '',
        'IdUUID': '',
        'Drive': dbus.ObjectPath(drive),
        'HintIgnore': False,
        'HintSystem': False,
        'ReadOnly': optical,
    }


def _medium_properties(label, uuid, optical):
    return {
        'Size': dbus.UInt64(650 * 1024 * 1024),
        'IdUsage': 'filesystem',
        'IdType': 'iso9660' if optical else 'vfat',
        'IdLabel': label,
        'IdUUID': uuid,
    }


def _mount(mount_point):
    def mount(block, _options):
        if mount_point.startswith('slow:'):
            time.sleep(3)
            mount_point_now = mount_point[len('slow:'):]
        else:
            mount_point_now = mount_point
        if not mount_point_now:
            raise dbus.exceptions.DBusException('Error mounting: wrong fs type, bad superblock',
                                                name='org.freedesktop.UDisks2.Error.Failed')
        block.UpdateProperties(FILESYSTEM, {'MountPoints': dbus.Array([_bytes(mount_point_now)], signature='ay')})
        return mount_point_now
    return mount


def _add_drive(mock, name, optical):
    path = _drive_path(name)
    if path in mockobject.objects:
        return path
    mock.AddObject(path, DRIVE, {
        'Optical': optical,
        'Removable': True,
        'MediaRemovable': True,
        'MediaAvailable': True,
        'Model': 'Mock drive ' + name,
    }, [])
    mock.object_manager_emit_added(path)
    return path


def _insert(mock, name, label, uuid, optical, mount_point, mounted=False):
    drive = _add_drive(mock, name, optical)
    path = _block_path(name)
    filesystem = {'MountPoints': dbus.Array([_bytes(mount_point)] if mounted else [], signature='ay')}
    if optical and path in mockobject.objects:
        # The drive's block device stays; the disc shows in its properties.
        block = mockobject.objects[path]
        block.UpdateProperties(BLOCK, _medium_properties(label, uuid, optical))
        block.props[FILESYSTEM] = filesystem
        block.AddMethod(FILESYSTEM, 'Mount', 'a{sv}', 's', _mount(mount_point))
        mock.EmitSignalDetailed(mockobject.OBJECT_MANAGER_IFACE, 'InterfacesAdded', 'oa{sa{sv}}',
                                [dbus.ObjectPath(path), {FILESYSTEM: filesystem}], {'path': MAIN_OBJ})
        return
    properties = _empty_block(name, drive, optical)
    properties.update(_medium_properties(label, uuid, optical))
    mock.AddObject(path, BLOCK, properties, [])
    block = mockobject.objects[path]
    block.props[FILESYSTEM] = filesystem
    block.AddMethod(FILESYSTEM, 'Mount', 'a{sv}', 's', _mount(mount_point))
    mock.object_manager_emit_added(path)


def _remove(mock, name):
    path = _block_path(name)
    if path not in mockobject.objects:
        return
    block = mockobject.objects[path]
    if mockobject.objects[_drive_path(name)].props[DRIVE]['Optical']:
        # An empty optical drive keeps its block device, with no file system on it.
        del block.props[FILESYSTEM]
        mock.EmitSignalDetailed(mockobject.OBJECT_MANAGER_IFACE, 'InterfacesRemoved', 'oas',
                                [dbus.ObjectPath(path), [FILESYSTEM]], {'path': MAIN_OBJ})
        block.UpdateProperties(BLOCK, {'Size': dbus.UInt64(0), 'IdUsage': '', 'IdType': '', 'IdLabel': '',
                                       'IdUUID': ''})
        return
    mock.object_manager_emit_removed(path)
    mock.RemoveObject(path)


def _add_system_disk(mock, name):
    # A disk inside the machine, with a file system: never a medium.
    drive = _drive_path(name)
    mock.AddObject(drive, DRIVE, {'Optical': False, 'Removable': False, 'MediaRemovable': False,
                                  'MediaAvailable': True, 'Model': 'Mock disk ' + name}, [])
    mock.object_manager_emit_added(drive)
    properties = _empty_block(name, drive, False)
    properties.update(_medium_properties('ROOT', 'system-' + name, False))
    properties['HintSystem'] = True
    path = _block_path(name)
    mock.AddObject(path, BLOCK, properties, [])
    mockobject.objects[path].props[FILESYSTEM] = {'MountPoints': dbus.Array([_bytes('/')], signature='ay')}
    mock.object_manager_emit_added(path)


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {'Version': '2.9.4'})
    for name in parameters.get('system_disks', []):
        _add_system_disk(mock, name)
    for name in parameters.get('optical_drives', []):
        path = _block_path(name)
        mock.AddObject(path, BLOCK, _empty_block(name, _add_drive(mock, name, True), True), [])
        mock.object_manager_emit_added(path)
    for medium in parameters.get('media', []):
        _insert(mock, medium['name'], medium.get('label', ''), medium.get('uuid', ''),
                medium.get('optical', False), medium.get('mount_point', ''), medium.get('mounted', False))


@dbus.service.method(MOCK, in_signature='sssbs', out_signature='')
def InsertMedium(self, name, label, uuid, optical, mount_point):
    _insert(self, name, label, uuid, optical, mount_point)


@dbus.service.method(MOCK, in_signature='s', out_signature='')
def RemoveMedium(self, name):
    _remove(self, name)
