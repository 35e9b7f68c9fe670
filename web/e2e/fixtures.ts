// Snapshots for the interface's tests: the host's own first snapshot with no simulator found,
// and states derived from it the way the host's rules would produce them.
import type { Availability, Component, Snapshot, Status } from '../src/model';
import first from './fixtures/no-simulator.json' with { type: 'json' };

/** What tests/harness/fake-webview.js adds to the window: the posted messages and delivery. */
export type PlayedWebView = { posted: unknown[]; deliver: (data: unknown) => void };

export const allowed: Availability = { allowed: true, reason: '' };
export const notApplicable: Availability = { allowed: false, reason: '' };
export const refused = (reason: string): Availability => ({ allowed: false, reason });
const busyReason = refused('Another operation is in progress.');

export const noSimulator = (): Snapshot => structuredClone(first) as Snapshot;
export const changed = (snapshot: Snapshot, change: (s: Snapshot) => void): Snapshot => (change(snapshot), snapshot);
export const component = (snapshot: Snapshot, id: string): Component => snapshot.components.find((c) => c.id === id)!;

const steam2024 = { id: 'msfs2024-steam', family: 'msfs2024', name: 'MSFS 2024', edition: 'Steam', available: true,
  communityFolder: 'D:\\SteamLibrary\\steamapps\\common\\MSFS 2024\\Community' };
const store2020 = { id: 'msfs2020-store', family: 'msfs2020', name: 'MSFS 2020', edition: 'Microsoft Store', available: false,
  communityFolder: 'C:\\Users\\pilot\\AppData\\Local\\Packages\\Microsoft.FlightSimulator\\LocalCache\\Packages\\Community' };

/** MSFS 2024 found: one patch installed, the application installed and running, one update. */
export const ready = (): Snapshot => changed(noSimulator(), (s) => {
  Object.assign(s.simulator, { installations: [steam2024, store2020], target: steam2024 });
  const set = (id: string, fields: Partial<Component>, actions: Partial<Component['actions']>) =>
    Object.assign(Object.assign(component(s, id), fields).actions, actions);
  const patch = (name: string, status: Status, installedVersion: string) => set(`${name}-weapons-patch`,
    { status, installedVersion, location: `${steam2024.communityFolder}\\orvantis-aircraft-${name}-weapons` },
    { install: allowed, uninstall: allowed, openFolder: allowed });
  patch('velmora', 'installed', '1.0.0');
  patch('tarsek', 'updateAvailable', '0.9.0');
  set('orv-camera', { status: 'updateAvailable', installedVersion: '0.10.0', running: true,
    location: 'C:\\Users\\pilot\\AppData\\Local\\Orvantis.CameraSystem' }, {
    install: refused('Close Camera System before updating it.'), uninstall: refused('Close Camera System before uninstalling it.'),
    openFolder: allowed, stop: allowed, createShortcut: allowed });
  set('quenby-weapons-patch', { compatible: false }, { install: refused('Not available for MSFS 2024.') });
});

/** An operation on one component: the others refuse what the busy rule refuses. */
export const busy = (componentId: string, action: string, progress: number, message: string): Snapshot => changed(ready(), (s) => {
  Object.assign(s.operation, { active: true, componentId, action, progress, message, cancellable: action !== 'uninstall' });
  for (const { actions } of s.components) {
    for (const name of ['install', 'uninstall', 'launch', 'createShortcut'] as const) if (actions[name].allowed) actions[name] = busyReason;
  }
});
