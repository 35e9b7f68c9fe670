// Snapshots for the interface's tests: the host's own first snapshot with no simulator found,
// and states derived from it the way the host's rules would produce them.
import type { Availability, Component, Installation, Snapshot } from '../src/model';
import first from './fixtures/no-simulator.json' with { type: 'json' };

export const allowed: Availability = { allowed: true, reason: '' };
export const notApplicable: Availability = { allowed: false, reason: '' };
export const refused = (reason: string): Availability => ({ allowed: false, reason });
const busyReason = refused('Another operation is in progress.');

export const noSimulator = (): Snapshot => structuredClone(first) as Snapshot;

export const steam2024: Installation = {
  id: 'msfs2024-steam', family: 'msfs2024', name: 'MSFS 2024', edition: 'Steam', available: true,
  communityFolder: 'D:\\SteamLibrary\\steamapps\\common\\MSFS 2024\\Community',
};
export const store2020: Installation = {
  id: 'msfs2020-store', family: 'msfs2020', name: 'MSFS 2020', edition: 'Microsoft Store', available: false,
  communityFolder: 'C:\\Users\\pilot\\AppData\\Local\\Packages\\Microsoft.FlightSimulator\\LocalCache\\Packages\\Community',
};

export function component(snapshot: Snapshot, id: string): Component {
  const found = snapshot.components.find((c) => c.id === id);
  if (!found) throw new Error(`no component ${id}`);
  return found;
}

/** MSFS 2024 found: one patch installed, the application installed and running, one update. */
export function ready(): Snapshot {
  const s = noSimulator();
  Object.assign(s.simulator, { installations: [steam2024, store2020], target: steam2024 });
  const installed = (c: Component, version: string, folder: string) =>
    Object.assign(c, { installedVersion: version, location: folder });
  const velmora = installed(component(s, 'velmora-weapons-patch'), '1.0.0', `${steam2024.communityFolder}\\orvantis-aircraft-velmora-weapons`);
  Object.assign(velmora, { status: 'installed' });
  Object.assign(velmora.actions, { install: allowed, uninstall: allowed, openFolder: allowed });
  const camera = installed(component(s, 'orv-camera'), '0.10.0', 'C:\\Users\\pilot\\AppData\\Local\\Orvantis.CameraSystem');
  Object.assign(camera, { status: 'updateAvailable', running: true });
  Object.assign(camera.actions, {
    install: refused('Close Camera System before updating it.'),
    uninstall: refused('Close Camera System before uninstalling it.'),
    openFolder: allowed, stop: allowed, createShortcut: allowed,
  });
  const tarsek = installed(component(s, 'tarsek-weapons-patch'), '0.9.0', `${steam2024.communityFolder}\\orvantis-aircraft-tarsek-weapons`);
  Object.assign(tarsek, { status: 'updateAvailable' });
  Object.assign(tarsek.actions, { install: allowed, uninstall: allowed, openFolder: allowed });
  Object.assign(component(s, 'quenby-weapons-patch'), { compatible: false });
  component(s, 'quenby-weapons-patch').actions.install = refused('Not available for MSFS 2024.');
  return s;
}

/** An operation on one component: the others refuse what the busy rule refuses. */
export function busy(componentId: string, action: string, progress: number, message: string): Snapshot {
  const s = ready();
  s.operation = { active: true, componentId, action, progress, message };
  for (const c of s.components) {
    for (const name of ['install', 'uninstall', 'launch', 'createShortcut'] as const) {
      if (c.actions[name].allowed) c.actions[name] = busyReason;
    }
  }
  return s;
}
