// The catalog's sections, "All" and Settings, with the catalog's links at the foot. Each
// section tells how many of its components have an update.
import { send } from './host';
import type { Snapshot } from './model';

export type View = { kind: 'section'; sectionId: string } | { kind: 'settings' };
export const ALL = '';

function RailItem({ current, onSelect, badge, name, subtitle, updates = 0 }: {
  current: boolean; onSelect: () => void; badge: string; name: string; subtitle?: string; updates?: number;
}) {
  return (
    <li>
      <button type="button" className="rail-item" aria-current={current ? 'page' : undefined} onClick={onSelect}>
        <span className="badge" aria-hidden="true">{badge}</span>
        <span className="rail-text">
          <span className="rail-name">
            {name}
            {updates > 0 && <span className="update-count">{updates === 1 ? '1 update' : `${updates} updates`}</span>}
          </span>
          {subtitle && <span className="rail-subtitle">{subtitle}</span>}
        </span>
      </button>
    </li>
  );
}

export function Rail({ snapshot, view, onView }: { snapshot: Snapshot; view: View; onView: (view: View) => void }) {
  const isSection = (id: string) => view.kind === 'section' && view.sectionId === id;
  const updates = (sectionId: string) => snapshot.components
    .filter((c) => c.status === 'updateAvailable' && (sectionId === ALL || c.sections.includes(sectionId))).length;
  return (
    <nav className="rail" aria-label="Sections">
      <ul>
        <RailItem current={isSection(ALL)} onSelect={() => onView({ kind: 'section', sectionId: ALL })}
          badge="ALL" name="All" subtitle={`${snapshot.components.length} components`} updates={updates(ALL)} />
        {snapshot.sections.map((section) => (
          <RailItem key={section.id} current={isSection(section.id)}
            onSelect={() => onView({ kind: 'section', sectionId: section.id })}
            badge={section.badge} name={section.name} subtitle={section.subtitle} updates={updates(section.id)} />
        ))}
      </ul>
      <ul className="rail-bottom">
        <RailItem current={view.kind === 'settings'} onSelect={() => onView({ kind: 'settings' })}
          badge="⚙" name="Settings" />
      </ul>
      <ul className="rail-links" aria-label="Links">
        {snapshot.catalog.links.map((link) => (
          <li key={link.url}>
            <a href={link.url} aria-label={`${link.label} (opens in your browser)`}
              onClick={(event) => { event.preventDefault(); send({ type: 'openLink', url: link.url }); }}>
              {link.label}
            </a>
          </li>
        ))}
      </ul>
    </nav>
  );
}
